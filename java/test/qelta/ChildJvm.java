package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.concurrent.TimeUnit;

/**
 * Runs a test's main class in a child virtual machine with checked JNI, the library and the
 * classes of this run, so that a crash ends the child and not the test run.
 */
public final class ChildJvm {
    private ChildJvm() {}

    /**
     * The output (standard output and error together) of main with args, in an environment that
     * adds environment to this one; fails the test when the child does not end within two
     * minutes, exits with another status than 0 or draws a JNI warning.
     */
    static String run(Class<?> main, Map<String, String> environment, String... args)
            throws Exception {
        return run(List.of(), List.of(), classPath(Network.class, main), main.getName(),
                environment, args);
    }

    /** As above, the java command started by launcher (a shell setting limits) with options. */
    public static String run(List<String> launcher, List<String> options, String classPath,
            String main, Map<String, String> environment, String... args) throws Exception {
        List<String> command = new ArrayList<>(launcher);
        command.addAll(List.of(Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Xcheck:jni",
                "-Djava.library.path=" + System.getProperty("java.library.path", "")));
        command.addAll(options);
        command.addAll(List.of("-cp", classPath, main));
        command.addAll(List.of(args));
        ProcessBuilder child = new ProcessBuilder(command);
        child.environment().putAll(environment);
        child.redirectErrorStream(true);
        Process process = child.start();
        String output = new String(process.getInputStream().readAllBytes(),
                StandardCharsets.UTF_8);
        assertTrue(process.waitFor(120, TimeUnit.SECONDS), "child did not finish");
        assertEquals(0, process.exitValue(), output);
        assertFalse(output.contains("WARNING in native method"), output);
        return output;
    }

    /** The class path of the places the classes were loaded from. */
    public static String classPath(Class<?>... classes) throws Exception {
        List<String> places = new ArrayList<>();
        for (Class<?> c : classes) {
            places.add(Path.of(c.getProtectionDomain().getCodeSource().getLocation().toURI())
                    .toString());
        }
        return String.join(File.pathSeparator, places);
    }
}
