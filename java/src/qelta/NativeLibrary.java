package qelta;

import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.UncheckedIOException;
import java.net.URL;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.util.HashSet;
import java.util.Locale;
import java.util.Properties;
import java.util.Set;
import java.util.stream.Stream;

/**
 * Finds and loads the native library, for {@link Wrapper}'s static initialisation. In order:
 * the file named by {@code -Dqelta.library}; the library inside the jar, under
 * {@code qelta/native/<platform>/}, copied into a folder of its own under {@code java.io.tmpdir}
 * and loaded from there; only when the jar holds none for this platform, a {@code libqelta.so} on
 * {@code java.library.path}. The jar's own library comes before {@code java.library.path} so that
 * a stale copy left there never stands in for the one the classes were built with. Every failure
 * is an {@link UnsatisfiedLinkError} that says what was tried and how to give the library by hand,
 * naming only the ways this jar's loader takes; a library that is found but does not load is never
 * passed over for another.
 */
final class NativeLibrary {
    private static final String NAME = "qelta";
    private static final String FOLDER = "qelta/native/";
    private static final String FILE = System.mapLibraryName(NAME);

    /** The version the loaded library must report; null when the classes do not say. */
    private final String expectedVersion;

    /** Where the library came from, for messages. */
    private final String source;

    /** The file loaded: a path, or for the jar's library the URL of its entry. */
    final String location;

    /** How to give the library by hand, for messages. */
    private final String byHand;

    private NativeLibrary(String expectedVersion, String source, String location, String byHand) {
        this.expectedVersion = expectedVersion;
        this.source = source;
        this.location = location;
        this.byHand = byHand;
    }

    /**
     * The ways to give the library by hand that the loader takes: java.library.path is read only
     * when the jar holds no library for this platform.
     */
    private static String byHand(boolean inJar) {
        return "Give the library by hand with -Dqelta.library=/full/path/to/" + FILE
                + (inJar ? "." : " or -Djava.library.path=<its folder>.");
    }

    /** Loads the library; answers what to check its version against. */
    static NativeLibrary load() {
        Properties built = builtWith();
        String expected = built.getProperty("version");
        String resource = FOLDER + platform() + "/" + FILE;
        URL inJar = NativeLibrary.class.getResource("/" + resource);
        String byHand = byHand(inJar != null);
        String explicit = System.getProperty("qelta.library");
        if (explicit != null && !explicit.isEmpty()) {
            try {
                System.load(explicit);
            } catch (UnsatisfiedLinkError e) {
                throw failure("The native library given by -Dqelta.library=" + explicit
                        + " does not load: " + e.getMessage() + ".", e);
            }
            return new NativeLibrary(expected, "-Dqelta.library=" + explicit,
                    new File(explicit).getAbsolutePath(), byHand);
        }
        if (inJar != null) {
            fromJar(resource, built, byHand);
            return new NativeLibrary(expected, "the qelta jar (" + resource + ")",
                    inJar.toString(), byHand);
        }
        String path = System.getProperty("java.library.path", "");
        Set<String> before = mappedFiles();
        try {
            System.loadLibrary(NAME);
        } catch (UnsatisfiedLinkError absent) {
            // A library that is there but does not load is reported, not passed over.
            Path file = onPath(path);
            if (file != null) {
                throw failure("The native library " + file + " on java.library.path does not"
                        + " load: " + absent.getMessage() + ".", absent);
            }
            throw failure("Tried: -Dqelta.library (not set), the qelta jar (no native library for "
                    + platform() + ", no " + resource + "), java.library.path (" + path + ": no "
                    + FILE + "). " + byHand, absent);
        }
        String file = loadedFile(before, path);
        return new NativeLibrary(expected, file + " on java.library.path", file, byHand);
    }

    /**
     * The first libqelta.so that System.loadLibrary finds in the folders of path, or null: as the
     * JDK reads it, an empty element is the working folder (an empty path has none), and
     * anything by that name counts.
     */
    private static Path onPath(String path) {
        for (String dir : path.isEmpty() ? new String[0] : path.split(File.pathSeparator, -1)) {
            try {
                Path file = Path.of(dir.isEmpty() ? "." : dir, FILE).toAbsolutePath().normalize();
                if (Files.exists(file)) {
                    return file;
                }
            } catch (InvalidPathException e) {
                // Not a folder System.loadLibrary can read either.
            }
        }
        return null;
    }

    /**
     * The files the process has mapped, from /proc/self/maps; empty where the system does not
     * say.
     */
    private static Set<String> mappedFiles() {
        Set<String> files = new HashSet<>();
        try (Stream<String> lines = Files.lines(Path.of("/proc/self/maps"))) {
            // Address, permissions, offset, device, inode, then the file's path, if any.
            lines.map(line -> line.trim().split("\\s+", 6))
                    .filter(fields -> fields.length == 6 && fields[5].startsWith("/"))
                    .forEach(fields -> files.add(fields[5]));
        } catch (IOException | UncheckedIOException | InvalidPathException e) {
            // No such listing here: the search stands in for it.
        }
        return files;
    }

    /**
     * The file System.loadLibrary loaded, read from what the process mapped since before: the new
     * file named libqelta.so, or the new one that is the file of that name on path (a link's
     * target); where the system does not say, the first on path, as the JDK searches it.
     */
    private static String loadedFile(Set<String> before, String path) {
        Set<String> added = mappedFiles();
        added.removeAll(before);
        Path found = onPath(path);
        for (String mapped : added) {
            Path file = Path.of(mapped);
            if (file.getFileName().toString().equals(FILE)) {
                return mapped;
            }
        }
        for (String mapped : added) {
            try {
                if (found != null && Files.isSameFile(Path.of(mapped), found)) {
                    return mapped;
                }
            } catch (IOException | InvalidPathException e) {
                // Gone, or no file of ours.
            }
        }
        return found != null ? found.toString() : "java.library.path";
    }

    /**
     * Answers the version the library reported, after checking it against the one the classes
     * were built with.
     */
    String verify(String reported) {
        if (expectedVersion != null && !expectedVersion.equals(reported)) {
            throw new UnsatisfiedLinkError("The native library loaded from " + source
                    + " is version " + reported + ", but the classes of qelta are version "
                    + expectedVersion + ". " + byHand);
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
    private static void fromJar(String resource, Properties built, String byHand) {
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
                        + lower(byHand), e);
            }
            Path file = dir.resolve(FILE);
            try {
                Files.copy(in, file, StandardCopyOption.REPLACE_EXISTING);
                System.load(file.toString());
            } catch (IOException e) {
                throw failure("The native library inside the qelta jar (" + resource
                        + ") could not be copied to " + file + ": " + e + ". Set"
                        + " -Djava.io.tmpdir to a writable folder, or " + lower(byHand), e);
            } catch (UnsatisfiedLinkError e) {
                throw failure("The native library inside the qelta jar (" + resource
                        + ", copied to " + file + ") does not load: " + e.getMessage()
                        + ". It needs " + platform()
                        + (glibc == null ? "" : " with glibc " + glibc + " or newer") + " and "
                        + (gcc == null ? "libstdc++" : "libstdc++ of GCC " + gcc + " or newer")
                        + (glibcxx == null || cxxabi == null ? ""
                                : " (GLIBCXX_" + glibcxx + ", CXXABI_" + cxxabi + ")")
                        + ", and a java.io.tmpdir from which programs may run (not mounted"
                        + " noexec). " + byHand, e);
            } finally {
                remove(file, dir);
            }
        } catch (IOException e) {
            throw failure("The qelta jar's " + resource + " cannot be read: " + e + ". "
                    + byHand, e);
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
