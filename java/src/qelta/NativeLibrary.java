package qelta;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.Locale;
import java.util.Properties;

/**
 * Finds and loads the native library, for {@link Wrapper}'s static initialisation. In order:
 * the file named by {@code -Dqelta.library}; a {@code libqelta.so} on {@code java.library.path};
 * the library inside the jar, under {@code qelta/native/<platform>/}, copied into a folder of its
 * own under {@code java.io.tmpdir} and loaded from there. Every failure is an
 * {@link UnsatisfiedLinkError} that says what was tried and how to give the library by hand; a
 * library that is found but does not load is never passed over for another.
 */
final class NativeLibrary {
    private static final String NAME = "qelta";
    private static final String FOLDER = "qelta/native/";
    private static final String BY_HAND = "Give the library by hand with"
            + " -Dqelta.library=/full/path/to/" + System.mapLibraryName(NAME)
            + " or -Djava.library.path=<its folder>.";

    /** The version the loaded library must report; null when the classes do not say. */
    private final String expectedVersion;

    /** Where the library came from, for messages. */
    private final String source;

    private NativeLibrary(String expectedVersion, String source) {
        this.expectedVersion = expectedVersion;
        this.source = source;
    }

    /** Loads the library; answers what to check its version against. */
    static NativeLibrary load() {
        Properties built = builtWith();
        String expected = built.getProperty("version");
        String explicit = System.getProperty("qelta.library");
        if (explicit != null && !explicit.isEmpty()) {
            try {
                System.load(explicit);
            } catch (UnsatisfiedLinkError e) {
                throw failure("The native library given by -Dqelta.library=" + explicit
                        + " does not load: " + e.getMessage() + ".", e);
            }
            return new NativeLibrary(expected, "-Dqelta.library=" + explicit);
        }
        String path = System.getProperty("java.library.path", "");
        try {
            System.loadLibrary(NAME);
            return new NativeLibrary(expected, "java.library.path");
        } catch (UnsatisfiedLinkError absent) {
            // A library that is there but does not load is reported, not passed over.
            for (String dir : path.split(File.pathSeparator)) {
                Path file;
                try {
                    file = dir.isEmpty() ? null : Path.of(dir, System.mapLibraryName(NAME));
                } catch (InvalidPathException e) {
                    continue;
                }
                if (file != null && Files.isRegularFile(file)) {
                    throw failure("The native library " + file + " on java.library.path does not"
                            + " load: " + absent.getMessage() + ".", absent);
                }
            }
        }
        String tried = "Tried: -Dqelta.library (not set), java.library.path (" + path
                + ": no " + System.mapLibraryName(NAME) + ")";
        return new NativeLibrary(expected, fromJar(tried, built));
    }

    /**
     * Answers the version the library reported, after checking it against the one the classes
     * were built with.
     */
    String verify(String reported) {
        if (expectedVersion != null && !expectedVersion.equals(reported)) {
            throw new UnsatisfiedLinkError("The native library loaded from " + source
                    + " is version " + reported + ", but the classes of qelta are version "
                    + expectedVersion + ". " + BY_HAND);
        }
        return reported;
    }

    /** The build's description beside the library in the jar; empty when there is none. */
    private static Properties builtWith() {
        Properties built = new Properties();
        try (InputStream in = NativeLibrary.class.getResourceAsStream(
                "/" + FOLDER + "library.properties")) {
            if (in != null) {
                built.load(in);
            }
        } catch (IOException e) {
            throw failure("The jar's " + FOLDER + "library.properties cannot be read: " + e + ".",
                    e);
        }
        return built;
    }

    /** The platform folder's name, such as linux-x86-64; null for an unknown processor. */
    static String platform() {
        String os = System.getProperty("os.name", "").toLowerCase(Locale.ROOT);
        String arch = System.getProperty("os.arch", "").toLowerCase(Locale.ROOT);
        String system = os.startsWith("linux") ? "linux"
                : os.startsWith("mac") ? "macos"
                : os.startsWith("windows") ? "windows"
                : os.replaceAll("[^a-z0-9]+", "");
        String processor = switch (arch) {
            case "amd64", "x86_64" -> "x86-64";
            case "aarch64", "arm64" -> "aarch64";
            default -> arch.replaceAll("[^a-z0-9]+", "");
        };
        return system + "-" + processor;
    }

    /** Copies the jar's library for this platform into a new private folder and loads it there. */
    private static String fromJar(String tried, Properties built) {
        String resource = FOLDER + platform() + "/" + System.mapLibraryName(NAME);
        String glibc = built.getProperty("glibc");
        try (InputStream in = NativeLibrary.class.getResourceAsStream("/" + resource)) {
            if (in == null) {
                throw failure(tried + "; the qelta jar holds no native library for "
                        + platform() + " (no " + resource + "). " + BY_HAND, null);
            }
            // A folder of its own for each JVM: two JVMs, or two versions, never share the file.
            String tmp = System.getProperty("java.io.tmpdir");
            Path dir;
            try {
                dir = Files.createTempDirectory(Path.of(tmp),
                        "qelta-" + built.getProperty("version", "unknown") + "-");
            } catch (IOException | RuntimeException e) {
                throw failure(tried + "; the library inside the qelta jar could not be copied out:"
                        + " cannot make a folder in java.io.tmpdir (" + tmp + "): " + e
                        + ". Set -Djava.io.tmpdir to a writable folder, or " + lower(BY_HAND),
                        e);
            }
            Path file = dir.resolve(System.mapLibraryName(NAME));
            try {
                Files.copy(in, file, StandardCopyOption.REPLACE_EXISTING);
                System.load(file.toString());
            } catch (IOException e) {
                throw failure(tried + "; the library inside the qelta jar could not be copied to "
                        + file + ": " + e + ". Set -Djava.io.tmpdir to a writable folder, or "
                        + lower(BY_HAND), e);
            } catch (UnsatisfiedLinkError e) {
                throw failure("The native library inside the qelta jar (" + resource
                        + ", copied to " + file + ") does not load: " + e.getMessage()
                        + ". It needs " + platform() + (glibc == null ? "" : " with glibc "
                        + glibc + " or newer") + " and libstdc++, and a java.io.tmpdir from which"
                        + " programs may run (not mounted noexec). " + BY_HAND, e);
            } finally {
                remove(file, dir);
            }
            return "the qelta jar (" + resource + ")";
        } catch (IOException e) {
            throw failure(tried + "; the qelta jar's " + resource + " cannot be read: " + e
                    + ". " + BY_HAND, e);
        }
    }

    /**
     * Removes the copy: at once where the system lets a loaded library's file go (the loaded
     * image stays), else when the JVM exits.
     */
    private static void remove(Path file, Path dir) {
        for (Path p : new Path[] {file, dir}) {
            try {
                Files.deleteIfExists(p);
            } catch (IOException | RuntimeException e) {
                // Registered folder first: files registered later are deleted first.
                dir.toFile().deleteOnExit();
                file.toFile().deleteOnExit();
                return;
            }
        }
    }

    private static String lower(String sentence) {
        return Character.toLowerCase(sentence.charAt(0)) + sentence.substring(1);
    }

    private static UnsatisfiedLinkError failure(String message, Throwable cause) {
        UnsatisfiedLinkError error = new UnsatisfiedLinkError(message);
        if (cause != null) {
            error.initCause(cause);
        }
        return error;
    }
}
