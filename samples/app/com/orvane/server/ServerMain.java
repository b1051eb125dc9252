package com.orvane.server;

/**
 * The sample application that samples/orvane.launcher starts: it prints
 * what it received and, when it runs as a service, keeps running until the
 * launcher's stop request ends the JVM.
 */
public final class ServerMain {
    private ServerMain() {
    }

    public static void main(String[] args) throws InterruptedException {
        System.out.println("orvane server started with " + args.length + " argument(s)");
        for (String arg : args) {
            System.out.println("  " + arg);
        }
        System.out.println("java.version=" + System.getProperty("java.version"));
        System.out.println("lorix.moduleName=" + System.getProperty("lorix.moduleName"));
        if ("true".equals(System.getProperty("lorix.isService"))) {
            Thread.currentThread().join();  // until the stop request calls System.exit
        }
    }
}
