package testapp;

/** Writes one line to standard output and one to standard error. */
public final class Talk {
    public static void main(String[] args) {
        String word = args.length > 0 ? args[0] : "hello";
        System.out.println("out: " + word);
        System.err.println("err: " + word);
    }
}
