package qelta.spark;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.List;
import org.junit.jupiter.api.Test;

/** README's example, as README runs it, on the tests' Spark. */
class ExampleTest {
    @Test
    void readmeExampleLearnsAsiaAndAnswersItsCases() throws Exception {
        Path data = Path.of(System.getProperty("user.dir"), "..", "examples", "data");
        TestData.spark();
        PrintStream out = System.out;
        ByteArrayOutputStream printed = new ByteArrayOutputStream();
        System.setOut(new PrintStream(printed, true, StandardCharsets.UTF_8));
        try {
            Example.main(new String[] {
                data.resolve("asia.xvrn").toString(), data.resolve("asia_records.csv").toString(), "local[2]"});
        } finally {
            System.setOut(out);
        }
        List<String> lines = printed.toString(StandardCharsets.UTF_8).lines().toList();
        out.println(String.join("\n", lines));
        assertEquals(5, lines.size(), lines.toString());
        assertTrue(lines.get(0).matches("EM: \\d+ passes, log-likelihood -\\d+\\.\\d{4}"), lines.get(0));
        assertTrue(lines.get(1).startsWith("Smoking = smoker: 0."), lines.get(1));
        assertTrue(lines.get(2).startsWith("p1: LungCancer = present: 0."), lines.get(2));
        assertTrue(lines.get(4).startsWith("p3: Dataset column 'XRay' contains value 'sideways'"), lines.get(4));
    }
}
