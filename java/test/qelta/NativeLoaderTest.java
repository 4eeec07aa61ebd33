package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.io.File;
import java.io.InputStream;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.FileSystem;
import java.nio.file.FileSystems;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Properties;
import java.util.concurrent.Callable;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.jar.JarEntry;
import java.util.jar.JarOutputStream;
import java.util.stream.Stream;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Loading the native library without options: child JVMs started from jars made like the one the
 * build ships (this run's classes and library), some of them altered.
 */
class NativeLoaderTest {
    private static final String LIBRARY =
            "qelta/native/" + NativeLibrary.platform() + "/" + System.mapLibraryName("qelta");
    private static final String PROPERTIES = "qelta/native/library.properties";
    private static final byte[] NOT_A_LIBRARY = "not a library".getBytes(StandardCharsets.UTF_8);
    private static final String NETWORK = Path.of(System.getProperty("qelta.testdata",
            "tests/data")).resolve("../../examples/data/asia.xvrn").normalize().toString();
    /** The advice of a jar that holds the library: java.library.path is not read then. */
    private static final String BY_HAND = "by hand with -Dqelta.library=/full/path/to/libqelta.so.";
    /** The advice of a jar without the library. */
    private static final String BY_HAND_OR_PATH = "by hand with"
            + " -Dqelta.library=/full/path/to/libqelta.so or -Djava.library.path=<its folder>.";

    @TempDir
    static Path dir;

    private static byte[] library;
    private static final Properties BUILT = new Properties();

    @BeforeAll
    static void takeTheLibraryOfThisRun() throws Exception {
        try (InputStream in = Wrapper.class.getResourceAsStream("/" + LIBRARY);
                InputStream built = Wrapper.class.getResourceAsStream("/" + PROPERTIES)) {
            assumeTrue(in != null, "the classes carry no " + LIBRARY
                    + " (the Maven build packs it)");
            library = in.readAllBytes();
            BUILT.load(built);
        }
    }

    /** A jar of this run's classes that says it is version; library null leaves it out. */
    private static String jar(String name, String version, byte[] library) throws Exception {
        Path where = Path.of(Wrapper.class.getProtectionDomain().getCodeSource().getLocation()
                .toURI());
        Path out = dir.resolve(name + ".jar");
        try (FileSystem zip = Files.isDirectory(where) ? null : FileSystems.newFileSystem(where);
                Stream<Path> files = Files.walk(zip == null ? where : zip.getPath("/"));
                JarOutputStream jar = new JarOutputStream(Files.newOutputStream(out))) {
            Path root = zip == null ? where : zip.getPath("/");
            for (Path file : (Iterable<Path>) files.filter(Files::isRegularFile)::iterator) {
                String entry = root.relativize(file).toString().replace(File.separatorChar, '/');
                byte[] bytes = entry.equals(LIBRARY) ? library : Files.readAllBytes(file);
                if (entry.equals(PROPERTIES)) {
                    bytes = new String(bytes, StandardCharsets.UTF_8)
                            .replaceAll("(?m)^version=.*$", "version=" + version)
                            .getBytes(StandardCharsets.UTF_8);
                }
                if (bytes != null) {
                    jar.putNextEntry(new JarEntry(entry));
                    jar.write(bytes);
                }
            }
        }
        return out.toString();
    }

    /** The probe's line, run from jar with options (the JVM may warn of a failed load too). */
    private static String probe(String jar, String... options) throws Exception {
        return probeIn(null, jar, options);
    }

    /** As probe, in the working folder given (null: this one's). */
    private static String probeIn(Path folder, String jar, String... options) throws Exception {
        List<String> launcher = folder == null ? List.of()
                : List.of("sh", "-c", "cd \"$0\" && exec \"$@\"", folder.toString());
        String output = ChildJvm.run(launcher, List.of(options),
                jar + File.pathSeparator + ChildJvm.classPath(NativeLoaderTest.class),
                Probe.class.getName(), Map.of(), Path.of(NETWORK).toAbsolutePath().toString());
        return output.lines().filter(l -> l.startsWith("loaded ") || l.startsWith("refused: "))
                .reduce((a, b) -> a + "\n" + b).orElse(output);
    }

    private static Path folderWith(String name, byte[] bytes) throws Exception {
        Path folder = Files.createDirectories(dir.resolve(name));
        Files.write(folder.resolve(System.mapLibraryName("qelta")), bytes);
        return folder;
    }

    @Test
    void jvmsStartedAtOnceEachLoadTheLibraryOfTheirOwnJar() throws Exception {
        String version = Wrapper.getVersion();
        String same = jar("same", version, library);
        String other = jar("other", "9.9.9", library);
        String broken = jar("broken", "9.9.8", NOT_A_LIBRARY);
        Path tmp = Files.createDirectories(dir.resolve("tmp"));
        String shared = "-Djava.io.tmpdir=" + tmp;
        List<Callable<String>> runs = List.of(() -> probe(same, shared),
                () -> probe(same, shared), () -> probe(other, shared), () -> probe(broken, shared));
        ExecutorService pool = Executors.newFixedThreadPool(runs.size());
        List<String> outputs = new ArrayList<>();
        try {
            for (Future<String> f : pool.invokeAll(runs)) {
                outputs.add(f.get());
            }
        } finally {
            pool.shutdown();
        }
        assertEquals(loaded(jarEntry(same)), outputs.get(0));
        assertEquals(outputs.get(0), outputs.get(1));
        assertEquals("refused: The native library loaded from the qelta jar (" + LIBRARY
                + ") is version " + version + ", but the classes of qelta are version 9.9.9."
                + " Give the library " + BY_HAND, outputs.get(2));
        assertTrue(outputs.get(3).startsWith("refused: The native library inside the qelta jar ("
                + LIBRARY + ", copied to " + tmp + "/qelta-9.9.8-"), outputs.get(3));
        assertTrue(outputs.get(3).endsWith(". It needs " + NativeLibrary.platform()
                + " with glibc " + BUILT.getProperty("glibc") + " or newer and libstdc++ of GCC "
                + BUILT.getProperty("gcc") + " or newer (GLIBCXX_" + BUILT.getProperty("glibcxx")
                + ", CXXABI_" + BUILT.getProperty("cxxabi") + "), and a java.io.tmpdir from"
                + " which programs may run (not mounted noexec). Give the library " + BY_HAND),
                outputs.get(3));
        try (Stream<Path> left = Files.list(tmp)) {
            assertEquals(List.of(), left.toList(), "copies left behind");
        }
    }

    /** The probe's line for a library loaded from location. */
    private static String loaded(String location) {
        return "loaded " + Wrapper.getVersion() + " from " + location + ": 0.5000";
    }

    private static String jarEntry(String jar) {
        return "jar:" + new File(jar).toURI() + "!/" + LIBRARY;
    }

    /** This run's library answering another version, as an older build left behind would. */
    private static byte[] stale() {
        byte[] version = (Wrapper.getVersion() + "\0").getBytes(StandardCharsets.US_ASCII);
        byte[] patched = library.clone();
        for (int at = 0; at + version.length <= patched.length; ++at) {
            if (java.util.Arrays.equals(patched, at, at + version.length, version, 0,
                    version.length)) {
                patched[at + version.length - 2] ^= 1; // 2.2.4 answers 2.2.5
                return patched;
            }
        }
        throw new AssertionError("the library holds no " + Wrapper.getVersion());
    }

    @Test
    void aLibraryGivenByHandComesFirstThenTheJarsAndNoneIsPassedOver() throws Exception {
        String broken = jar("broken-own", Wrapper.getVersion(), NOT_A_LIBRARY);
        Path good = folderWith("good", library);
        Path file = good.resolve(System.mapLibraryName("qelta"));
        assertEquals(loaded(file.toString()), probe(broken, "-Dqelta.library=" + file));
        // The jar's own library comes before java.library.path: a broken one is reported even
        // with a good one there, and a good one is loaded ahead of a broken, copied or stale one.
        String refused = probe(broken, "-Djava.library.path=" + good);
        assertTrue(refused.startsWith("refused: The native library inside the qelta jar ("
                + LIBRARY + ", copied to "), refused);
        String whole = jar("whole", Wrapper.getVersion(), library);
        for (Path other : List.of(folderWith("bad", NOT_A_LIBRARY), good,
                folderWith("stale", stale()))) {
            assertEquals(loaded(jarEntry(whole)), probe(whole, "-Djava.library.path=" + other));
        }
        assertEquals(loaded(file.toString()), probe(whole, "-Dqelta.library=" + file,
                "-Djava.library.path=" + dir.resolve("stale")));
        // Only a jar without a library for this platform leaves it to java.library.path.
        String without = jar("without-own", Wrapper.getVersion(), null);
        assertEquals(loaded(file.toString()), probe(without, "-Djava.library.path=" + good));
        Path stale = dir.resolve("stale").resolve(System.mapLibraryName("qelta"));
        refused = probe(without, "-Djava.library.path=" + stale.getParent());
        assertTrue(refused.startsWith("refused: The native library loaded from " + stale.toRealPath()
                + " on java.library.path is version "), refused);
        assertTrue(refused.endsWith(". Give the library " + BY_HAND_OR_PATH), refused);
        Path bad = dir.resolve("bad").resolve(System.mapLibraryName("qelta"));
        refused = probe(without, "-Djava.library.path=" + bad.getParent());
        assertTrue(refused.startsWith("refused: The native library " + bad
                + " on java.library.path does not load: "), refused);
    }

    @Test
    void aJarWithoutTheLibraryOrAFolderThatCannotBeWrittenIsRefused() throws Exception {
        String missing = probe(jar("without", Wrapper.getVersion(), null));
        assertTrue(missing.startsWith("refused: Tried: -Dqelta.library (not set), the qelta jar"
                + " (no native library for " + NativeLibrary.platform() + ", no " + LIBRARY
                + "), java.library.path ("), missing);
        assertTrue(missing.endsWith(": no libqelta.so). Give the library " + BY_HAND_OR_PATH), missing);
        // A file where the folder should be: not writable even for the superuser.
        Path notAFolder = Files.writeString(dir.resolve("plain-file"), "x");
        String unwritable = probe(jar("unwritable", Wrapper.getVersion(), library),
                "-Djava.io.tmpdir=" + notAFolder);
        assertTrue(unwritable.startsWith("refused: The native library inside the qelta jar ("
                + LIBRARY + ") could not be copied out: cannot make a folder in java.io.tmpdir ("
                + notAFolder + "): "), unwritable);
        assertTrue(unwritable.endsWith(". Set -Djava.io.tmpdir to a writable folder, or give the"
                + " library " + BY_HAND), unwritable);
    }

    @Test
    void anEmptyElementOfJavaLibraryPathIsTheWorkingFolderAndTheQueryNamesWhatWasLoaded()
            throws Exception {
        // As the JDK reads ":<folder>": the working folder first, then the folder.
        String without = jar("without-empty", Wrapper.getVersion(), null);
        String path = "-Djava.library.path=" + File.pathSeparator + folderWith("after", library);
        Path working = folderWith("working", library).resolve(System.mapLibraryName("qelta"));
        assertEquals(loaded(working.toRealPath().toString()),
                probeIn(working.getParent(), without, path));
        Path older = folderWith("older", stale()).resolve(System.mapLibraryName("qelta"));
        String refused = probeIn(older.getParent(), without, path);
        assertTrue(refused.startsWith("refused: The native library loaded from "
                + older.toRealPath() + " on java.library.path is version "), refused);
        Path broken = folderWith("broken", NOT_A_LIBRARY).resolve(System.mapLibraryName("qelta"));
        refused = probeIn(broken.getParent(), without, path);
        assertTrue(refused.startsWith("refused: The native library " + broken.toRealPath()
                + " on java.library.path does not load: "), refused);
    }

    /** Child: the probability of a smoker in the example, or why the library did not load. */
    public static final class Probe {
        public static void main(String[] args) {
            try (Network net = new Network()) {
                net.readFile(args[0]);
                net.updateBeliefs();
                System.out.printf("loaded %s from %s: %.4f%n", Wrapper.getVersion(),
                        Wrapper.getLibraryLocation(), net.getNodeValue(net.getNode("Smoking"))[0]);
            } catch (UnsatisfiedLinkError e) {
                System.out.println("refused: " + e.getMessage());
            }
        }
    }
}
