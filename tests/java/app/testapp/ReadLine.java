package testapp;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;

/** Reads one line of standard input and prints it back. */
public final class ReadLine {
    public static void main(String[] args) throws IOException {
        BufferedReader in = new BufferedReader(new InputStreamReader(System.in, "US-ASCII"));
        System.out.println("read: " + in.readLine());
    }
}
