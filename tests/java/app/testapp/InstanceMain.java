package testapp;

/** Has a main method, but not a static one. */
public final class InstanceMain {
    public void main(String[] args) {
        System.out.println("instance main ran");
    }
}
