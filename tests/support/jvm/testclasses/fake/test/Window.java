package fake.test;

// A value class built by natives with NewObject.
public class Window {
    public Window(long handle, int style, String className, String title) {}

    public static class Part {
        public Part(String name) {}
    }
}
