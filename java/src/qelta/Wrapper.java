package qelta;

/**
 * Base of every Java class that owns a native object.
 *
 * <p>The field {@code ptrNative} holds the address of the native object, or 0
 * when there is none. Loading this class loads the native library and lets it
 * cache the field's identity, so it must be initialised before any other
 * native method runs.
 */
public abstract class Wrapper {
    /** Address of the native object; 0 when there is none. */
    protected long ptrNative;

    /** Version of the native library, as it reports itself. */
    public static final String VERSION;

    static {
        String explicit = System.getProperty("qelta.library");
        if (explicit != null && !explicit.isEmpty()) {
            System.load(explicit);
        } else {
            System.loadLibrary("qelta");
        }
        VERSION = staticInitNative();
    }

    /** Caches the native side's view of {@code ptrNative}; answers the library version. */
    private static native String staticInitNative();

    /** The version string of the loaded native library. */
    public static String getVersion() {
        return VERSION;
    }
}
