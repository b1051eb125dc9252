package fake.test;

public class Square extends Shape {
    public int sides() { return 4; }
}
