package tvr.testmod.internal;

/** Prints the module it runs in and its arguments. */
public final class Main {
    public static void main(String[] args) {
        System.out.println("module " + Main.class.getModule().getName() + ": " + String.join(" ", args));
    }
}
