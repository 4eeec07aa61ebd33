package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * What the engine refuses so that no argument can crash it or pass a wrong value: expressions
 * nested past the bound (checked on a small thread stack in a child JVM), strings holding
 * U+0000, and updates whose values would not be finite.
 */
class ExpressionLimitsTest extends NetworkFixture {
    static final int EQUATION = 4;
    static final int DECISION = 17;
    static final int UTILITY = 8;
    static final int MAU = 520;
    /** The deepest nesting an expression may have. */
    static final int BOUND = 150;
    static final String NUL = "File name cannot contain U+0000";

    /** Texts nested depth levels deep, one of each shape that nests; depth is even. */
    static List<String> deepTexts(int depth) {
        List<String> texts = new ArrayList<>();
        texts.add("(".repeat(depth) + "x" + ")".repeat(depth));
        texts.add("-".repeat(depth) + "x");
        texts.add("x" + "+x".repeat(depth));
        texts.add("Abs(".repeat(depth) + "x" + ")".repeat(depth));
        texts.add("x>1 ? 2 : ".repeat(depth - 1) + "x");
        texts.add("x^(".repeat(depth / 2) + "x" + ")".repeat(depth / 2));
        return texts;
    }

    /**
     * Child JVM: on a thread with a 128 KB stack, sets, samples, writes and reads back equations
     * at the nesting bound, and has one level more refused. Prints "OK" or "FAIL reason".
     */
    static final class SmallStackChild {
        public static void main(String[] args) throws Exception {
            String[] result = {"FAIL the thread did not finish"};
            Thread thread = new Thread(null, () -> result[0] = run(args[0]), "small", 128 << 10);
            thread.start();
            thread.join();
            System.out.println(result[0]);
        }

        static String run(String file) {
            // "y=(" and ")" add two levels.
            for (String text : deepTexts(BOUND - 2)) {
                try (Network n = new Network(); Network back = new Network()) {
                    n.addNode(EQUATION, "x");
                    n.addNode(EQUATION, "y");
                    n.setNodeEquation("x", "x=Uniform(1,2)");
                    n.setNodeEquation("y", "y=(" + text + ")");
                    n.updateBeliefs();
                    back.readString(n.writeString());
                    n.writeFile(file);
                    back.readFile(file);
                    back.updateBeliefs();
                    if (!n.getNodeEquation("y").equals(back.getNodeEquation("y"))) {
                        return "FAIL read back differs: " + text.substring(0, 20);
                    }
                } catch (QELTAException e) {
                    return "FAIL " + text.substring(0, 20) + ": " + e.getMessage();
                }
            }
            for (String text : deepTexts(BOUND)) {
                try (Network n = new Network()) {
                    n.addNode(EQUATION, "x");
                    n.addNode(EQUATION, "y");
                    n.setNodeEquation("y", "y=(" + text + ")");
                    return "FAIL accepted: " + text.substring(0, 20);
                } catch (QELTAException e) {
                    if (!e.getMessage().endsWith("Expression is nested too deeply")) {
                        return "FAIL " + e.getMessage();
                    }
                }
            }
            return "OK";
        }
    }

    @Test
    void equationsAtTheBoundFitASmallThreadStack(@TempDir Path dir) throws Exception {
        String output = ChildJvm.run(SmallStackChild.class, Map.of(),
                dir.resolve("deep.xvrn").toString());
        assertEquals(List.of("OK"), output.lines().toList(), output);
    }

    @Test
    void stringsHoldingANulAreRefused() {
        int y = net.addNode(EQUATION, "y");
        net.setNodeEquation(y, "y=1");
        String before = net.writeString();
        refusedAll(NUL, () -> net.setNodeEquation("y", "y = 3\0((((garbage"),
                () -> net.setExtFunctions(new String[] {"f(x)=x\0+"}),
                () -> net.setNodeName(y, "name\0tail"), () -> net.setNodeId(y, "y\0z"),
                () -> net.setNodeEquation("y\0", "y=2"),
                () -> net.readString(before + "\0"));
        assertEquals(before, net.writeString());
        int m = net.addNode(MAU, "M");
        refused(NUL, () -> net.setMauExpressions(m, new String[] {"0\0+1"}));
        assertEquals(0, net.getMauExpressions(m).length);
    }

    @Test
    void constantsThatAreNotFiniteAreRefused() {
        net.addNode(EQUATION, "x");
        for (String text : new String[] {"x=Sqrt(-2)", "x=1/0", "x=Ln(0)"}) {
            net.setNodeEquation("x", text);
            QELTAException e = fails(net::updateBeliefs);
            assertEquals(-5, e.getErrorCode(), text);
            assertTrue(e.getMessage().endsWith("No valid samples were generated for node x"),
                    e.getMessage());
            assertFalse(net.isValueValid("x"), text);
        }
        net.setNodeEquation("x", "x=GCD(6e9, 4e9)");
        net.updateBeliefs();
        assertTrue(net.isValueValid("x"));
    }

    @Test
    void utilitiesWhoseExpectationOverflowsAreRefused() {
        node(DECISION, "D", "a", "b");
        net.addNode(UTILITY, "U1");
        net.addNode(UTILITY, "U2");
        net.addArc("D", "U1");
        net.addArc("D", "U2");
        net.setNodeDefinition("U1", new double[] {1e308, 1});
        net.setNodeDefinition("U2", new double[] {1e308, 2});
        QELTAException e = fails(net::updateBeliefs);
        assertEquals(-2, e.getErrorCode());
        assertTrue(e.getMessage().endsWith("Utilities of node [U1] are too large: expected"
                + " utilities would overflow"), e.getMessage());
        assertFalse(net.isValueValid("D"));
        net.setNodeDefinition("U2", new double[] {1e300, 2});
        net.setNodeDefinition("U1", new double[] {1e300, 1});
        net.updateBeliefs();
        assertArrayEquals(new double[] {2e300, 3}, net.getNodeValue("D"), 1e286);
    }
}
