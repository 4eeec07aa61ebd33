package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.concurrent.TimeUnit;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import javax.tools.JavaCompiler;
import javax.tools.ToolProvider;
import org.junit.jupiter.api.BeforeAll;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * The Beliefs program of the README, taken from the README itself, compiled against the jar and
 * run in its own JVM as a user runs it, on a Bayesian network, an influence diagram and a dynamic
 * network.
 */
class ReadmeSampleTest {
    private static final Path SOURCE = Path.of(System.getProperty("qelta.testdata", "tests/data"))
            .resolve("../..").normalize();
    private static final Pattern LINE =
            Pattern.compile("(\\w+) = (\\w+)(?: \\| (.+))?: (-?\\d+\\.\\d{4})");

    @TempDir
    static Path classes;

    private static String jar;

    @BeforeAll
    static void compileTheSample() throws Exception {
        String readme = Files.readString(SOURCE.resolve("README.md"));
        int start = readme.lastIndexOf("```java\n", readme.indexOf("public class Beliefs"));
        int end = readme.indexOf("```\n", start + 8);
        assertTrue(start >= 0 && end > start, "no Beliefs sample in the README");
        Path program = classes.resolve("Beliefs.java");
        Files.writeString(program, readme.substring(start + 8, end));
        jar = Path.of(Network.class.getProtectionDomain().getCodeSource().getLocation().toURI())
                .toString();
        JavaCompiler javac = ToolProvider.getSystemJavaCompiler();
        assertEquals(0, javac.run(null, null, null, "-cp", jar, "-d", classes.toString(),
                program.toString()), "the README's sample does not compile");
    }

    /** Runs the sample on a file; answers its output lines after checking their form. */
    private static List<String> run(Path network) throws Exception {
        String java = Path.of(System.getProperty("java.home"), "bin", "java").toString();
        ProcessBuilder child = new ProcessBuilder(java,
                "-Djava.library.path=" + System.getProperty("java.library.path", ""),
                "-cp", jar + File.pathSeparator + classes, "Beliefs", network.toString());
        child.redirectErrorStream(true);
        Process process = child.start();
        String output = new String(process.getInputStream().readAllBytes(),
                StandardCharsets.UTF_8);
        assertTrue(process.waitFor(120, TimeUnit.SECONDS), "the sample did not finish");
        assertEquals(0, process.exitValue(), output);
        List<String> lines = output.lines().toList();
        assertFalse(lines.isEmpty(), "no output");
        for (String line : lines) {
            assertTrue(LINE.matcher(line).matches(), "unexpected line: " + line);
        }
        return lines;
    }

    /** The number printed on the line of a node, outcome and condition ("" for none). */
    private static double value(List<String> lines, String node, String outcome, String given) {
        for (String line : lines) {
            Matcher m = LINE.matcher(line);
            if (m.matches() && m.group(1).equals(node) && m.group(2).equals(outcome)
                    && given.equals(m.group(3) == null ? "" : m.group(3))) {
                return Double.parseDouble(m.group(4));
            }
        }
        throw new AssertionError("no line for " + node + " = " + outcome + " | " + given);
    }

    private static long linesOf(List<String> lines, String node) {
        return lines.stream().filter(l -> l.startsWith(node + " = ")).count();
    }

    @Test
    void printsTheMarginalsOfABayesianNetwork() throws Exception {
        List<String> lines = run(SOURCE.resolve("examples/data/asia.xvrn"));
        assertEquals(16, lines.size());
        assertEquals(0.5, value(lines, "Smoking", "smoker", ""), 1e-9);
        assertEquals(0.0104, value(lines, "Tuberculosis", "present", ""), 1e-9);
    }

    @Test
    void printsInfluenceDiagramValuesPerConfigurationAndSkipsUtilities() throws Exception {
        List<String> lines = run(SOURCE.resolve("tests/data/decisions/oil_wildcatter.xvrn"));
        assertEquals(0, linesOf(lines, "Payoff"));
        assertEquals(2, linesOf(lines, "Test"));
        assertEquals(12, linesOf(lines, "Drill"));
        assertEquals(18, linesOf(lines, "Oil"));
        assertEquals(22.5, value(lines, "Test", "test", ""), 1e-9);
        assertEquals(77.5, value(lines, "Drill", "drill", "Test = test, Seismic = closed"), 1e-9);
        assertEquals(0.2, value(lines, "Oil", "soaking", "Test = notest, Seismic = open"), 1e-9);
    }

    @Test
    void printsOneRowPerSliceForPlateNodes() throws Exception {
        List<String> lines = run(SOURCE.resolve("tests/data/xml/dynamic.xvrn"));
        assertEquals(2, linesOf(lines, "Season"));
        assertEquals(10, linesOf(lines, "Rain"));
        double t = value(lines, "Rain", "T", "slice 4");
        assertEquals(1.0, t + value(lines, "Rain", "F", "slice 4"), 1e-3);
    }
}
