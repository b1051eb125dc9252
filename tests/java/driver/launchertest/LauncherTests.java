package launchertest;

import com.lorix.runtime.SplashConfig;
import com.lorix.runtime.WinLauncher;
import com.tavra.runtime.installer.platform.win32.Common;

import java.io.File;
import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.stream.Stream;

/**
 * Tests of the launcher classes on the host JDK. Each group starts the
 * launcher class in fresh JVMs, the way servicelauncher calls its main, and
 * checks what the application received and what ended up where.
 * <p>
 * Usage: LauncherTests GROUP, with the system properties tvr.runtimeJar,
 * tvr.appJar, tvr.moduleJar and tvr.workDir. The exit code is the number of
 * failed cases (0 when all pass).
 */
public final class LauncherTests {
    private static final String TAVRA_LAUNCHER = "com.tavra.runtime.launcher.WinLauncher";
    private static final String LORIX_LAUNCHER = "com.lorix.runtime.WinLauncher";
    private static final long TIMEOUT_SECONDS = 60;

    private final String runtimeJar = requiredProperty("tvr.runtimeJar");
    private final String appJar = requiredProperty("tvr.appJar");
    private final String moduleJar = requiredProperty("tvr.moduleJar");
    private final Path workDir = Paths.get(requiredProperty("tvr.workDir"));
    private int failures;

    interface Case {
        void run(Path dir) throws Exception;
    }

    public static void main(String[] args) throws Exception {
        LauncherTests tests = new LauncherTests();
        String group = args.length > 0 ? args[0] : "";
        switch (group) {
        case "arguments": tests.arguments(); break;
        case "module": tests.moduleMode(); break;
        case "redirection": tests.redirection(); break;
        case "start_failures": tests.startFailures(); break;
        case "stop_request": tests.stopRequest(); break;
        case "in_process": tests.inProcess(); break;
        default:
            System.err.println("unknown group \"" + group + "\"");
            System.exit(2);
        }
        System.exit(Math.min(tests.failures, 100));
    }

    // ---- groups ---------------------------------------------------------

    private void arguments() throws Exception {
        check("remaining arguments reach the application unchanged", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(),
                    "false", "testapp.EchoArgs", "", "", "false", "C:\\app\\svc.exe", "a", "", "b c", "-Dx=y");
            r.expectExit(0);
            expectEquals(Arrays.asList("argc=4", "arg[0]=a", "arg[1]=", "arg[2]=b c", "arg[3]=-Dx=y"), r.outLines());
        });
        check("the program path is not an application argument", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.EchoArgs", "", "", "true", "svc");
            r.expectExit(0);
            expectEquals(Arrays.asList("argc=0"), r.outLines());
        });
        check("five arguments without a program path start the application", dir -> {
            Result r = launch(dir, LORIX_LAUNCHER, noOptions(), "true", "testapp.EchoArgs", "", "", "false");
            r.expectExit(0);
            expectEquals(Arrays.asList("argc=0"), r.outLines());
        });
        check("fewer than five arguments are refused", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.EchoArgs", "", "");
            r.expectExit(1);
            r.expectErrContains("expected at least 5 arguments");
            expectEquals(new ArrayList<String>(), r.outLines());
        });
        check("a main class that is not public is started", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.HiddenMain", "", "", "false", "p");
            r.expectExit(0);
            expectEquals(Arrays.asList("hidden main ran"), r.outLines());
        });
    }

    private void moduleMode() throws Exception {
        // As servicelauncher starts a module-mode application: both jars on
        // the module path, the application's package opened to the runtime
        // module, the launcher class found by name.
        List<String> modulePath = Arrays.asList("--module-path", runtimeJar + File.pathSeparator + moduleJar,
                "--add-opens=tvr.testmod/tvr.testmod.internal=com.tavra.runtime",
                "--add-modules=tvr.testmod,com.tavra.runtime");
        check("a /module/class name starts the class in its module", dir -> {
            Result r = launchOn(dir, modulePath, TAVRA_LAUNCHER,
                    "false", "/tvr.testmod/tvr.testmod.internal.Main", "", "", "false", "prog", "x", "y z");
            r.expectExit(0);
            expectEquals(Arrays.asList("module tvr.testmod: x y z"), r.outLines());
        });
        check("an unknown module is reported", dir -> {
            Result r = launchOn(dir, modulePath, TAVRA_LAUNCHER,
                    "false", "/no.such.module/a.Main", "", "", "false", "prog");
            r.expectExit(1);
            r.expectErrContains("Cannot start the application: module no.such.module is not in the boot layer");
        });
        check("a class missing from its module is reported", dir -> {
            Result r = launchOn(dir, modulePath, TAVRA_LAUNCHER,
                    "false", "/tvr.testmod/tvr.testmod.internal.Missing", "", "", "false", "prog");
            r.expectExit(1);
            r.expectErrContains("main class tvr.testmod.internal.Missing not found in module tvr.testmod");
        });
        check("a module name without a class is reported", dir -> {
            Result r = launchOn(dir, modulePath, TAVRA_LAUNCHER, "false", "/tvr.testmod", "", "", "false", "prog");
            r.expectExit(1);
            r.expectErrContains("is not of the form /module/class");
        });
        check("a package that is not opened to the launcher is reported", dir -> {
            List<String> notOpened = Arrays.asList("--module-path", runtimeJar + File.pathSeparator + moduleJar,
                    "--add-modules=tvr.testmod,com.tavra.runtime");
            Result r = launchOn(dir, notOpened, TAVRA_LAUNCHER,
                    "false", "/tvr.testmod/tvr.testmod.internal.Main", "", "", "false", "prog");
            r.expectExit(1);
            r.expectErrContains("Cannot start the application: cannot call main of tvr.testmod.internal.Main");
        });
    }

    private void redirection() throws Exception {
        check("standard error and output go to their files", dir -> {
            Path err = dir.resolve("err.log");
            Path out = dir.resolve("out.log");
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(),
                    "false", "testapp.Talk", err.toString(), out.toString(), "false", "p");
            r.expectExit(0);
            expectEquals(Arrays.asList("err: hello"), readLines(err));
            expectEquals(Arrays.asList("out: hello"), readLines(out));
            expectEquals(new ArrayList<String>(), r.outLines());
            expectEquals(new ArrayList<String>(), r.errLines());
        });
        check("only the named stream is redirected", dir -> {
            Path err = dir.resolve("err.log");
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(),
                    "false", "testapp.Talk", err.toString(), "", "false", "p");
            r.expectExit(0);
            expectEquals(Arrays.asList("err: hello"), readLines(err));
            expectEquals(Arrays.asList("out: hello"), r.outLines());
        });
        check("the append flag keeps earlier content, its absence starts the files empty", dir -> {
            Path err = dir.resolve("err.log");
            Path out = dir.resolve("out.log");
            write(err, "earlier error\n");
            write(out, "earlier output\n");
            launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.Talk", err.toString(), out.toString(), "true",
                    "p", "one").expectExit(0);
            expectEquals(Arrays.asList("earlier error", "err: one"), readLines(err));
            expectEquals(Arrays.asList("earlier output", "out: one"), readLines(out));
            launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.Talk", err.toString(), out.toString(), "false",
                    "p", "two").expectExit(0);
            expectEquals(Arrays.asList("err: two"), readLines(err));
            expectEquals(Arrays.asList("out: two"), readLines(out));
        });
        check("one file for both streams keeps both", dir -> {
            Path both = dir.resolve("both.log");
            write(both, "earlier content that is longer than what follows\n");
            launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.Talk", both.toString(),
                    dir.resolve(".").resolve("both.log").toString(), "false", "p").expectExit(0);
            expectEquals(Arrays.asList("out: hello", "err: hello"), readLines(both));
        });
        check("${installer:sys.tempDir} is the JVM's temporary directory", dir -> {
            Path temp = Files.createDirectories(dir.resolve("temp"));
            Result r = launch(dir, TAVRA_LAUNCHER, Arrays.asList("-Djava.io.tmpdir=" + temp),
                    "false", "testapp.Talk", "${installer:sys.tempDir}/app_error.log",
                    "${installer:sys.tempDir}/app_output.log", "true", "p");
            r.expectExit(0);
            expectEquals(Arrays.asList("err: hello"), readLines(temp.resolve("app_error.log")));
            expectEquals(Arrays.asList("out: hello"), readLines(temp.resolve("app_output.log")));
        });
        check("unknown variables stay in the file name", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(),
                    "false", "testapp.Talk", "${installer:sys.unknown}_err.log", "$out_{x.log", "false", "p");
            r.expectExit(0);
            expectEquals(Arrays.asList("err: hello"), readLines(dir.resolve("${installer:sys.unknown}_err.log")));
            expectEquals(Arrays.asList("out: hello"), readLines(dir.resolve("$out_{x.log")));
        });
        check("tavra.noRedir=true leaves both streams on the console", dir -> {
            Path err = dir.resolve("err.log");
            Path out = dir.resolve("out.log");
            Result r = launch(dir, TAVRA_LAUNCHER, Arrays.asList("-Dtavra.noRedir=true"),
                    "false", "testapp.Talk", err.toString(), out.toString(), "false", "p");
            r.expectExit(0);
            expectEquals(Arrays.asList("out: hello"), r.outLines());
            expectEquals(Arrays.asList("err: hello"), r.errLines());
            expectTrue(!Files.exists(err) && !Files.exists(out), "no file is created");
        });
        check("a file that cannot be opened leaves its stream and the application runs", dir -> {
            Path err = dir.resolve("no-such-directory").resolve("err.log");
            Path out = dir.resolve("out.log");
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(),
                    "false", "testapp.Talk", err.toString(), out.toString(), "false", "p");
            r.expectExit(0);
            r.expectErrContains("Cannot redirect standard error to " + err);
            r.expectErrContains("err: hello");
            expectEquals(Arrays.asList("out: hello"), readLines(out));
        });
    }

    private void startFailures() throws Exception {
        check("a missing main class is reported and main ends with an exception", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.Missing", "", "", "false", "p");
            r.expectExit(1);
            r.expectErrContains("Cannot start the application: main class testapp.Missing not found");
            r.expectErrContains("java.lang.ClassNotFoundException");
        });
        check("the report goes to the error file when there is one", dir -> {
            Path err = dir.resolve("err.log");
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(),
                    "false", "testapp.Missing", err.toString(), "", "false", "p");
            r.expectExit(1);
            String text = new String(Files.readAllBytes(err), StandardCharsets.UTF_8);
            expectTrue(text.contains("main class testapp.Missing not found"), "error file holds the report: " + text);
        });
        check("a main method that is not static is reported", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.InstanceMain", "", "", "false", "p");
            r.expectExit(1);
            r.expectErrContains("class testapp.InstanceMain has no public static void main(String[])");
            expectEquals(new ArrayList<String>(), r.outLines());
        });
        check("the application's own exception leaves main unwrapped", dir -> {
            Result r = launch(dir, TAVRA_LAUNCHER, noOptions(), "false", "testapp.Throws", "", "", "false", "p");
            r.expectExit(1);
            r.expectErrContains("java.lang.IllegalStateException: boom from the application");
            expectTrue(!r.err.contains("InvocationTargetException"), "no reflection wrapper: " + r.err);
            expectTrue(!r.err.contains("Cannot start the application"), "not a start failure: " + r.err);
        });
    }

    private void stopRequest() throws Exception {
        List<String> serviceChild = Arrays.asList("-Dlorix.isService=true");
        check("the stop request ends the JVM with 0 after the shutdown hooks", dir -> {
            Path marker = dir.resolve("hook.txt");
            Process p = start(dir, serviceChild, TAVRA_LAUNCHER,
                    "false", "testapp.WaitForStop", "", "", "true", "MyService", marker.toString());
            awaitReady(p, dir);
            OutputStream stdin = p.getOutputStream();
            stdin.write("1\nstop\n0\r\n".getBytes(StandardCharsets.US_ASCII));
            stdin.flush();
            expectTrue(p.waitFor(TIMEOUT_SECONDS, TimeUnit.SECONDS), "the JVM ended");
            expectEquals(0, p.exitValue());
            expectEquals(Arrays.asList("hook ran"), readLines(marker));
        });
        check("other lines and a closed pipe leave the application running", dir -> {
            Path marker = dir.resolve("hook.txt");
            Process p = start(dir, serviceChild, TAVRA_LAUNCHER,
                    "false", "testapp.WaitForStop", "", "", "true", "MyService", marker.toString());
            try {
                awaitReady(p, dir);
                OutputStream stdin = p.getOutputStream();
                stdin.write("00\n1\n".getBytes(StandardCharsets.US_ASCII));
                stdin.close();
                expectTrue(!p.waitFor(2, TimeUnit.SECONDS), "still running");
            } finally {
                p.destroyForcibly().waitFor();
            }
        });
        check("outside the service's child standard input belongs to the application", dir -> {
            Process p = start(dir, noOptions(), TAVRA_LAUNCHER, "false", "testapp.ReadLine", "", "", "false", "p");
            OutputStream stdin = p.getOutputStream();
            stdin.write("0\n".getBytes(StandardCharsets.US_ASCII));
            stdin.close();
            expectTrue(p.waitFor(TIMEOUT_SECONDS, TimeUnit.SECONDS), "the JVM ended");
            expectEquals(0, p.exitValue());
            expectEquals(Arrays.asList("read: 0"), readLines(dir.resolve("stdout.txt")));
        });
    }

    // Runs in this JVM: the splash settings and the native side's
    // preparation are plain static state.
    private void inProcess() throws Exception {
        check("initAwtSplashConfig keeps every value", dir -> {
            expectTrue(WinLauncher.getSplashConfig() == null, "nothing before the call");
            WinLauncher.initAwtSplashConfig(true, false, "", 20, 21, "0,0,0", 8, 500,
                    "version 3.2.2", 22, 40, "255,128,1", 9, 700);
            SplashConfig config = WinLauncher.getSplashConfig();
            expectTrue(config.isEnabled() && !config.getFlag(), "flags kept");
            expectLine(config.getFirstLine(), "", 20, 21, "0,0,0", 8, 500);
            expectLine(config.getSecondLine(), "version 3.2.2", 22, 40, "255,128,1", 9, 700);
            WinLauncher.initAwtSplashConfig(true, true, null, 0, 0, null, 0, 0, "b", 1, 2, "3,4,5", 6, 7);
            config = WinLauncher.getSplashConfig();
            expectTrue(config.getFlag(), "a second call replaces the settings");
            expectLine(config.getFirstLine(), null, 0, 0, null, 0, 0);
        });
        check("natives' classes stay usable without the native library", dir -> {
            expectTrue(!Common.isPreparedByLauncher(), "not prepared before the launcher says so");
            Class<?> misc = Class.forName("com.tavra.runtime.installer.platform.win32.Misc");
            try {
                misc.getMethod("getPhysicalMemory0").invoke(null);
                throw new AssertionError("a native without its library returned");
            } catch (java.lang.reflect.InvocationTargetException e) {
                expectTrue(e.getCause() instanceof UnsatisfiedLinkError, "UnsatisfiedLinkError: " + e.getCause());
            }
        });
        check("initFromLauncher records the preparation and its outcome", dir -> {
            Common.initFromLauncher(true);
            expectTrue(Common.isPreparedByLauncher() && Common.isRegisteredByLauncher(), "registered");
            Common.initFromLauncher(false);
            expectTrue(Common.isPreparedByLauncher() && !Common.isRegisteredByLauncher(), "registration failed");
        });
    }

    // ---- running the launcher ---------------------------------------------

    private static final class Result {
        final int exitCode;
        final String out;
        final String err;

        Result(int exitCode, String out, String err) {
            this.exitCode = exitCode;
            this.out = out;
            this.err = err;
        }

        List<String> outLines() {
            return lines(out);
        }

        List<String> errLines() {
            return lines(err);
        }

        void expectExit(int expected) {
            if (exitCode != expected) {
                throw new AssertionError("exit code " + exitCode + ", expected " + expected + "\nstdout:\n" + out
                        + "\nstderr:\n" + err);
            }
        }

        void expectErrContains(String text) {
            if (!err.contains(text)) {
                throw new AssertionError("stderr lacks \"" + text + "\":\n" + err);
            }
        }
    }

    private static List<String> noOptions() {
        return new ArrayList<String>();
    }

    /** The launcher class on the class path together with the application. */
    private Result launch(Path dir, String launcherClass, List<String> options, String... args) throws Exception {
        List<String> vm = new ArrayList<String>(options);
        vm.add("-cp");
        vm.add(runtimeJar + File.pathSeparator + appJar);
        return launchOn(dir, vm, launcherClass, args);
    }

    private Result launchOn(Path dir, List<String> vmOptions, String launcherClass, String... args) throws Exception {
        Process p = startRaw(dir, vmOptions, launcherClass, args);
        p.getOutputStream().close();
        if (!p.waitFor(TIMEOUT_SECONDS, TimeUnit.SECONDS)) {
            p.destroyForcibly().waitFor();
            throw new AssertionError("the JVM did not end within " + TIMEOUT_SECONDS + " s");
        }
        return new Result(p.exitValue(), read(dir.resolve("stdout.txt")), read(dir.resolve("stderr.txt")));
    }

    private Process start(Path dir, List<String> options, String launcherClass, String... args) throws IOException {
        List<String> vm = new ArrayList<String>(options);
        vm.add("-cp");
        vm.add(runtimeJar + File.pathSeparator + appJar);
        return startRaw(dir, vm, launcherClass, args);
    }

    // Output goes to files in the case directory, so nothing can block on
    // a full pipe.
    private Process startRaw(Path dir, List<String> vmOptions, String launcherClass, String... args)
            throws IOException {
        List<String> command = new ArrayList<String>();
        command.add(Paths.get(System.getProperty("java.home"), "bin", "java").toString());
        command.addAll(vmOptions);
        command.add(launcherClass);
        command.addAll(Arrays.asList(args));
        ProcessBuilder builder = new ProcessBuilder(command).directory(dir.toFile());
        builder.redirectOutput(dir.resolve("stdout.txt").toFile());
        builder.redirectError(dir.resolve("stderr.txt").toFile());
        return builder.start();
    }

    private static void awaitReady(Process p, Path dir) throws Exception {
        long deadline = System.nanoTime() + TimeUnit.SECONDS.toNanos(TIMEOUT_SECONDS);
        while (!read(dir.resolve("stdout.txt")).contains("ready")) {
            if (!p.isAlive() || System.nanoTime() > deadline) {
                throw new AssertionError("the application did not get ready:\n" + read(dir.resolve("stderr.txt")));
            }
            Thread.sleep(50);
        }
    }

    // ---- checks ---------------------------------------------------------

    private void check(String name, Case body) throws IOException {
        Path dir = workDir.resolve(name.replaceAll("[^A-Za-z0-9]+", "_"));
        deleteTree(dir);
        Files.createDirectories(dir);
        try {
            body.run(dir);
            System.out.println("PASS " + name);
        } catch (Throwable t) {
            failures++;
            System.out.println("FAIL " + name + ": " + t);
            t.printStackTrace(System.out);
        }
    }

    private static void expectLine(SplashConfig.TextLine line, String text, int x, int y, String colour, int a,
            int b) {
        expectEquals(text, line.getText());
        expectEquals(Arrays.asList(x, y, a, b),
                Arrays.asList(line.getX(), line.getY(), line.getColourArgument1(), line.getColourArgument2()));
        expectEquals(colour, line.getColour());
    }

    private static void expectEquals(Object expected, Object actual) {
        if (expected == null ? actual != null : !expected.equals(actual)) {
            throw new AssertionError("expected <" + expected + "> but was <" + actual + ">");
        }
    }

    private static void expectTrue(boolean condition, String what) {
        if (!condition) {
            throw new AssertionError("not true: " + what);
        }
    }

    // ---- files ----------------------------------------------------------

    private static String requiredProperty(String name) {
        String value = System.getProperty(name);
        if (value == null || value.isEmpty()) {
            throw new IllegalStateException("system property " + name + " is not set");
        }
        return value;
    }

    private static String read(Path file) throws IOException {
        return Files.exists(file) ? new String(Files.readAllBytes(file), StandardCharsets.UTF_8) : "";
    }

    private static List<String> readLines(Path file) throws IOException {
        if (!Files.exists(file)) {
            throw new AssertionError("missing file " + file);
        }
        return lines(read(file));
    }

    private static List<String> lines(String text) {
        List<String> lines = new ArrayList<String>();
        for (String line : text.split("\r?\n", -1)) {
            lines.add(line);
        }
        if (!lines.isEmpty() && lines.get(lines.size() - 1).isEmpty()) {
            lines.remove(lines.size() - 1);
        }
        return lines;
    }

    private static void write(Path file, String text) throws IOException {
        Files.write(file, text.getBytes(StandardCharsets.UTF_8));
    }

    private static void deleteTree(Path dir) throws IOException {
        if (Files.exists(dir)) {
            List<Path> paths = new ArrayList<Path>();
            try (Stream<Path> walk = Files.walk(dir)) {
                walk.forEach(paths::add);
            }
            for (int i = paths.size() - 1; i >= 0; i--) {
                Files.delete(paths.get(i)); // children come after their directory
            }
        }
    }
}
