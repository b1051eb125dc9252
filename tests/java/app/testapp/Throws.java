package testapp;

/** An application whose main fails. */
public final class Throws {
    public static void main(String[] args) {
        throw new IllegalStateException("boom from the application");
    }
}
