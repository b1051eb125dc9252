package testapp;

/** A main class that is not public, which a JNI launcher still starts. */
final class HiddenMain {
    public static void main(String[] args) {
        System.out.println("hidden main ran");
    }
}
