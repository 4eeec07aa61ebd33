package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.File;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
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
            Pattern.compile("(\\w+ = \\w+(?: \\| .+)?): (-?\\d+\\.\\d{4})");

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
        jar = ChildJvm.classPath(Network.class);
        assertEquals(0, ToolProvider.getSystemJavaCompiler().run(null, null, null, "-cp", jar,
                "-d", classes.toString(), program.toString()), "the README's sample does not compile");
    }

    /** Runs the sample on a file; answers the number of each line by the text before it. */
    private static Map<String, Double> run(Path network) throws Exception {
        Map<String, Double> values = new HashMap<>();
        for (String line : ChildJvm.run(List.of(), List.of(), jar + File.pathSeparator + classes,
                "Beliefs", Map.of(), network.toString()).lines().toList()) {
            Matcher m = LINE.matcher(line);
            assertTrue(m.matches(), "unexpected line: " + line);
            assertNull(values.put(m.group(1), Double.parseDouble(m.group(2))), line);
        }
        return values;
    }

    private static long linesOf(Map<String, Double> values, String node) {
        return values.keySet().stream().filter(l -> l.startsWith(node + " = ")).count();
    }

    @Test
    void printsTheMarginalsOfABayesianNetwork() throws Exception {
        Map<String, Double> values = run(SOURCE.resolve("examples/data/asia.xvrn"));
        assertEquals(16, values.size());
        assertEquals(0.5, values.get("Smoking = smoker"), 1e-9);
        assertEquals(0.0104, values.get("Tuberculosis = present"), 1e-9);
    }

    @Test
    void printsInfluenceDiagramValuesPerConfigurationAndSkipsUtilities() throws Exception {
        Map<String, Double> values = run(SOURCE.resolve("tests/data/decisions/oil_wildcatter.xvrn"));
        Map.of("Payoff", 0L, "Test", 2L, "Drill", 12L, "Oil", 18L)
                .forEach((node, count) -> assertEquals(count, linesOf(values, node), node));
        assertEquals(22.5, values.get("Test = test"), 1e-9);
        assertEquals(77.5, values.get("Drill = drill | Test = test, Seismic = closed"), 1e-9);
        assertEquals(0.2, values.get("Oil = soaking | Test = notest, Seismic = open"), 1e-9);
    }

    @Test
    void printsOneRowPerSliceForPlateNodes() throws Exception {
        Map<String, Double> values = run(SOURCE.resolve("tests/data/xml/dynamic.xvrn"));
        assertEquals(2, linesOf(values, "Season"));
        assertEquals(10, linesOf(values, "Rain"));
        assertEquals(1.0, values.get("Rain = T | slice 4") + values.get("Rain = F | slice 4"), 1e-3);
    }
}
