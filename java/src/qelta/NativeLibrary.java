package qelta;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.net.URL;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.Locale;
import java.util.Properties;

/**
 * Finds and loads the native library, for {@link Wrapper}'s static initialisation. In order:
 * the file named by {@code -Dqelta.library}; the library inside the jar, under
 * {@code qelta/native/<platform>/}, copied into a folder of its own under {@code java.io.tmpdir}
 * and loaded from there; only when the jar holds none for this platform, a {@code libqelta.so} on
 * {@code java.library.path}. The jar's own library comes before {@code java.library.path} so that
 * a stale copy left there never stands in for the one the classes were built with. Every failure
 * is an {@link UnsatisfiedLinkError} that says what was tried and how to give the library by hand;
 * a library that is found but does not load is never passed over for another.
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

    /** The file loaded: a path, or for the jar's library the URL of its entry. */
    final String location;

    private NativeLibrary(String expectedVersion, String source, String location) {
        this.expectedVersion = expectedVersion;
        this.source = source;
        this.location = location;
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
            return new NativeLibrary(expected, "-Dqelta.library=" + explicit,
                    new File(explicit).getAbsolutePath());
        }
        String resource = FOLDER + platform() + "/" + System.mapLibraryName(NAME);
        URL inJar = NativeLibrary.class.getResource("/" + resource);
        if (inJar != null) {
            fromJar(resource, built);
            return new NativeLibrary(expected, "the qelta jar (" + resource + ")",
                    inJar.toString());
        }
        String path = System.getProperty("java.library.path", "");
        try {
            System.loadLibrary(NAME);
            Path file = onPath(path);
            return new NativeLibrary(expected, "java.library.path",
                    file == null ? "java.library.path" : file.toAbsolutePath().toString());
        } catch (UnsatisfiedLinkError absent) {
            // A library that is there but does not load is reported, not passed over.
            Path file = onPath(path);
            if (file != null) {
                throw failure("The native library " + file + " on java.library.path does not"
                        + " load: " + absent.getMessage() + ".", absent);
            }
        }
        throw failure("Tried: -Dqelta.library (not set), the qelta jar (no native library for "
                + platform() + ", no " + resource + "), java.library.path (" + path + ": no "
                + System.mapLibraryName(NAME) + "). " + BY_HAND, null);
    }

    /** The first libqelta.so in the folders of path, which System.loadLibrary takes; or null. */
    private static Path onPath(String path) {
        for (String dir : path.split(File.pathSeparator)) {
            try {
                Path file = dir.isEmpty() ? null : Path.of(dir, System.mapLibraryName(NAME));
                if (file != null && Files.isRegularFile(file)) {
                    return file;
                }
            } catch (InvalidPathException e) {
                // Not a folder System.loadLibrary can read either.
            }
        }
        return null;
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

    /** Copies the jar's library, resource, into a new private folder and loads it there. */
    private static void fromJar(String resource, Properties built) {
        String glibc = built.getProperty("glibc");
        String glibcxx = built.getProperty("glibcxx");
        String cxxabi = built.getProperty("cxxabi");
        String gcc = built.getProperty("gcc");
        try (InputStream in = NativeLibrary.class.getResourceAsStream("/" + resource)) {
            if (in == null) {
                throw new IOException("no such entry");
            }
            // A folder of its own for each JVM: two JVMs, or two versions, never share the file.
            String tmp = System.getProperty("java.io.tmpdir");
            Path dir;
            try {
                dir = Files.createTempDirectory(Path.of(tmp),
                        "qelta-" + built.getProperty("version", "unknown") + "-");
            } catch (IOException | RuntimeException e) {
                throw failure("The native library inside the qelta jar (" + resource
                        + ") could not be copied out: cannot make a folder in java.io.tmpdir ("
                        + tmp + "): " + e + ". Set -Djava.io.tmpdir to a writable folder, or "
                        + lower(BY_HAND), e);
            }
            Path file = dir.resolve(System.mapLibraryName(NAME));
            try {
                Files.copy(in, file, StandardCopyOption.REPLACE_EXISTING);
                System.load(file.toString());
            } catch (IOException e) {
                throw failure("The native library inside the qelta jar (" + resource
                        + ") could not be copied to " + file + ": " + e + ". Set"
                        + " -Djava.io.tmpdir to a writable folder, or " + lower(BY_HAND), e);
            } catch (UnsatisfiedLinkError e) {
                throw failure("The native library inside the qelta jar (" + resource
                        + ", copied to " + file + ") does not load: " + e.getMessage()
                        + ". It needs " + platform()
                        + (glibc == null ? "" : " with glibc " + glibc + " or newer") + " and "
                        + (gcc == null ? "libstdc++" : "libstdc++ of GCC " + gcc + " or newer")
                        + (glibcxx == null || cxxabi == null ? ""
                                : " (GLIBCXX_" + glibcxx + ", CXXABI_" + cxxabi + ")")
                        + ", and a java.io.tmpdir from which programs may run (not mounted"
                        + " noexec). " + BY_HAND, e);
            } finally {
                remove(file, dir);
            }
        } catch (IOException e) {
            throw failure("The qelta jar's " + resource + " cannot be read: " + e + ". "
                    + BY_HAND, e);
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
