package fake.test;

// Native declarations of the fake JNI's own tests.
public class Natives {
    public int count;
    public static String label;

    public static native int add0(int a, String s);
    public static native String echo0(String s);
    public static native int[] doubled0(int[] values, int mode);
    public static native Object box0(int value);
    public static native String[] split0(String text);
    public static native long sum0(byte[] data, long extra, boolean negate);
    public static native boolean isEmpty0(String s);
    public static native int overloaded0(int a);
    public static native int overloaded0(String a);
    public static native double ratio0(int a);
    native String name0(int suffix);

    public static void notNative() {}
    public String describe() { return "natives"; }
}
