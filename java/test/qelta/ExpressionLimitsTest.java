package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.function.Executable;
import org.junit.jupiter.api.io.TempDir;

/**
 * What the engine refuses so that no argument can crash it or pass a wrong value: expressions
 * nested past the bound (checked on a small thread stack in a child JVM) and strings holding
 * U+0000.
 */
class ExpressionLimitsTest extends NetworkFixture {
    static final int EQUATION = 4;
    /** The deepest nesting an expression may have. */
    static final int BOUND = 150;
    static final String NUL = " cannot contain U+0000";

    /** Texts nested depth levels deep, one of each shape that nests; depth is even. */
    static List<String> deepTexts(int d) {
        return List.of("(".repeat(d) + "x" + ")".repeat(d), "-".repeat(d) + "x", "x" + "+x".repeat(d),
                "Abs(".repeat(d) + "x" + ")".repeat(d), "x>1 ? 2 : ".repeat(d - 1) + "x",
                "x^(".repeat(d / 2) + "x" + ")".repeat(d / 2));
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
            for (int depth : new int[] {BOUND - 2, BOUND}) {
                for (String text : deepTexts(depth)) {
                    String outcome;
                    try (Network n = new Network(); Network back = new Network()) {
                        n.addNode(EQUATION, "x");
                        n.addNode(EQUATION, "y");
                        n.setNodeEquation("x", "x=Uniform(1,2)");
                        // "y=(" and ")" add two levels.
                        n.setNodeEquation("y", "y=(" + text + ")");
                        n.updateBeliefs();
                        n.writeFile(file);
                        back.readFile(file);
                        back.updateBeliefs();
                        boolean same = n.getNodeEquation("y").equals(back.getNodeEquation("y"));
                        outcome = same ? "kept" : "read back differs";
                    } catch (QELTAException e) {
                        outcome = e.getMessage();
                    }
                    if (depth < BOUND ? !outcome.equals("kept")
                            : !outcome.contains("Expression is nested too deeply: more than")) {
                        return "FAIL " + depth + " " + text.substring(0, 20) + ": " + outcome;
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
        int c = net.addNode(18, "c");
        net.setNodeEquation(y, "y=1");
        net.setNodeName(y, "why");
        String before = net.writeString();
        // Each refusal names what the text was for.
        Map<String, Executable> calls = Map.of(
                "Equation", () -> net.setNodeEquation("y", "y = 3\0((((garbage"),
                "Function definition", () -> net.setExtFunctions(new String[] {"f(x)=x\0+"}),
                "Node name", () -> net.setNodeName(y, "name\0tail"),
                "Node description", () -> net.setNodeDescription(y, "a\0b"),
                "Outcome label", () -> net.setOutcomeLabel(c, 0, "a\0b"),
                "Node identifier", () -> net.setNodeEquation("y\0", "y=2"),
                "Network text", () -> net.readString(before + "\0"));
        calls.forEach((what, call) -> refused(what + NUL, call));
        refused("Node identifier" + NUL, () -> net.setNodeId(y, "y\0z"));
        assertEquals(before, net.writeString());
        assertEquals("why", net.getNodeName(y));
        int m = net.addNode(520, "M");
        refused("Expression" + NUL, () -> net.setMauExpressions(m, new String[] {"0\0+1"}));
        assertEquals(0, net.getMauExpressions(m).length);
    }
}
