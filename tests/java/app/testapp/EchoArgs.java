package testapp;

/** Prints the number of its arguments, then each one on its own line. */
public final class EchoArgs {
    public static void main(String[] args) {
        System.out.println("argc=" + args.length);
        for (int i = 0; i < args.length; i++) {
            System.out.println("arg[" + i + "]=" + args[i]);
        }
    }
}
