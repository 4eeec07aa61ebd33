package qelta;

import java.lang.ref.Cleaner;
import java.util.function.LongConsumer;

/**
 * Base of every Java class that owns a native object.
 *
 * <p>The field {@code ptrNative} holds the address of the native object, or 0
 * when there is none. Loading this class loads the native library (the file
 * named by {@code -Dqelta.library}, else the one inside the jar, else, only
 * when the jar holds none for this platform, {@code libqelta.so} on
 * {@code java.library.path}; a failure throws {@link UnsatisfiedLinkError}
 * saying what was tried and the ways to give the library by hand that this
 * jar's loader takes; {@link #getLibraryLocation} says which was loaded)
 * and lets it cache the field's identity, so it must be initialised before
 * any other native method runs.
 *
 * <p>A subclass makes its native object in its constructor and hands it to
 * {@link #adopt}. The object is deleted exactly once: by {@link #close()}, or,
 * when the Java object becomes unreachable without having been closed, by a
 * {@link Cleaner} as a safety net. Closing explicitly (try-with-resources) is
 * the intended use; the cleaner runs on its own thread at a time of the
 * garbage collector's choosing. After {@code close()} the native methods of
 * the object fail with {@link QELTAException} "Native object has been released
 * by close().".
 *
 * <p>Instances are not thread-safe: one object, and everything it refers to,
 * is used by one thread at a time. The one exception is {@code close()}: it
 * may be called from any thread, also while another thread is inside a native
 * method of the object. That method then finishes normally and the native
 * object is deleted when it returns.
 */
public abstract class Wrapper implements AutoCloseable {
    /** Address of the native object; 0 when there is none. */
    protected long ptrNative;

    /** Version of the native library, as it reports itself. */
    private static final String VERSION;

    /** The file the native library was loaded from. */
    private static final String LOCATION;

    /** One cleaner thread serves every native object of the library. */
    private static final Cleaner CLEANER = Cleaner.create();

    /** Deletes the native object; null once closed or when nothing was adopted. */
    private Cleaner.Cleanable cleanable;

    static {
        // -Dqelta.library, then the library inside the jar, then java.library.path.
        NativeLibrary loaded = NativeLibrary.load();
        VERSION = loaded.verify(staticInitNative());
        LOCATION = loaded.location;
    }

    /** Caches the native side's view of {@code ptrNative}; answers the library version. */
    private static native String staticInitNative();

    /**
     * The version of the loaded native library.
     *
     * @return the version text, for example "2.2.4"
     */
    public static String getVersion() {
        return VERSION;
    }

    /**
     * Where the loaded native library came from: the absolute path of the file named by
     * {@code -Dqelta.library}; from {@code java.library.path}, the file the JVM loaded, as the
     * process maps it (an empty element of {@code java.library.path} is the working folder, which
     * the JVM searches there); or, for the library inside the qelta jar, the URL of that entry
     * ({@code jar:file:/.../qelta-2.2.4.jar!/qelta/native/linux-x86-64/libqelta.so}; the copy it
     * was loaded from is removed once loaded).
     *
     * @return the path or URL of the loaded library
     */
    public static String getLibraryLocation() {
        return LOCATION;
    }

    /**
     * Takes ownership of a native object made by the subclass's {@code createNative}.
     *
     * @param handle the native object's address; 0 adopts nothing
     * @param deleter deletes a native object given its address; it must not
     *     refer to this Java object (a static method reference is the usual
     *     choice), or the cleaner could never run
     * @param keepAlive an object the native object points into (a network),
     *     kept reachable until the native object is deleted, so that the two
     *     are never cleaned in the wrong order; may be null
     */
    protected final void adopt(long handle, LongConsumer deleter, Object keepAlive) {
        if (cleanable != null) {
            throw new IllegalStateException("native object already adopted");
        }
        ptrNative = handle;
        if (handle != 0) {
            cleanable = CLEANER.register(this, new Deletion(handle, deleter, keepAlive));
        }
    }

    /**
     * {@link #adopt(long, LongConsumer, Object)} without an object to keep alive.
     *
     * @param handle the native object's address; 0 adopts nothing
     * @param deleter deletes a native object given its address
     */
    protected final void adopt(long handle, LongConsumer deleter) {
        adopt(handle, deleter, null);
    }

    /**
     * Deletes the native object now, or, when another thread is inside a
     * native method of this object, as soon as that method returns. Calling it
     * again, or on an object whose native object was never made, does nothing.
     */
    @Override
    public void close() {
        Cleaner.Cleanable pending = cleanable;
        cleanable = null;
        ptrNative = 0;
        if (pending != null) {
            pending.clean();
        }
    }

    /**
     * The cleaning action. It holds the address, never the Java object, so the
     * object can become phantom reachable and be cleaned.
     */
    private static final class Deletion implements Runnable {
        private final long handle;
        private final LongConsumer deleter;
        @SuppressWarnings("unused") // held only to order the cleaning
        private final Object keepAlive;

        Deletion(long handle, LongConsumer deleter, Object keepAlive) {
            this.handle = handle;
            this.deleter = deleter;
            this.keepAlive = keepAlive;
        }

        @Override
        public void run() {
            deleter.accept(handle);
        }
    }
}
