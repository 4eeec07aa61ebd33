import qelta.Wrapper;

/** A short tour of the library from Java. */
public class Example {
    public static void main(String[] args) {
        System.out.println("qelta native library version " + Wrapper.getVersion());
    }
}
