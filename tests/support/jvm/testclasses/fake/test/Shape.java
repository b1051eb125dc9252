package fake.test;

public abstract class Shape implements Named {
    public abstract int sides();
    public String name() { return "shape"; }
}
