package fake.test;

public interface Named {
    String name();
}
