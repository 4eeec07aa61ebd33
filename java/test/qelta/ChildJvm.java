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
final class ChildJvm {
    private ChildJvm() {}

    /**
     * The output (standard output and error together) of main with args, in an environment that
     * adds environment to this one; fails the test when the child does not end within two
     * minutes, exits with another status than 0 or draws a JNI warning.
     */
    static String run(Class<?> main, Map<String, String> environment, String... args)
            throws Exception {
        String classPath = Path.of(Network.class.getProtectionDomain().getCodeSource()
                .getLocation().toURI()) + File.pathSeparator
                + Path.of(main.getProtectionDomain().getCodeSource().getLocation().toURI());
        List<String> command = new ArrayList<>(List.of(
                Path.of(System.getProperty("java.home"), "bin", "java").toString(),
                "-Xcheck:jni",
                "-Djava.library.path=" + System.getProperty("java.library.path", ""),
                "-cp", classPath, main.getName()));
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
}
