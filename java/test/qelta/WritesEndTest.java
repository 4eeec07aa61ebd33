package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** Every write ends, and what the network accepts saves and reads back, or is refused. */
class WritesEndTest extends NetworkFixture {
    static final int EQUATION = 4;
    static final int MAIN = 32768;

    /** Intervals named a, b, c, ... with these upper boundaries. */
    static DiscretizationInterval[] intervals(double... boundaries) {
        DiscretizationInterval[] out = new DiscretizationInterval[boundaries.length];
        for (int i = 0; i < boundaries.length; ++i) {
            out[i] = new DiscretizationInterval(String.valueOf((char) ('a' + i)), boundaries[i]);
        }
        return out;
    }

    /** X an equation with three intervals, T a truth table over them. */
    int[] truthTableUnderEquation() {
        int x = net.addNode(EQUATION, "X");
        net.setNodeEquation(x, "X=Normal(0,1)");
        net.setNodeEquationBounds(x, -3, 3);
        net.setNodeEquationDiscretization(x, intervals(-1, 1, 3));
        int t = node(TRUTH_TABLE, "T", "a", "b");
        net.addArc(x, t);
        net.setNodeDefinition(t, new double[] {0, 1, 1, 0, 0, 1});
        return new int[] {x, t};
    }

    @Test
    void truthTableUnderAnEquationIsWrittenInEveryTextFormat(@TempDir Path dir) throws Exception {
        truthTableUnderEquation();
        Path dne = dir.resolve("t.dne");
        net.writeFile(dne.toString());
        try (Network back = new Network()) {
            back.readFile(dne.toString());
            assertArrayEquals(new double[] {0, 1, 1, 0, 0, 1}, back.getNodeDefinition("T"));
            assertArrayEquals(new int[] {back.getNode("X")}, back.getParents("T"));
        }
        for (String suffix : new String[] {"vrn", "dxp", "erg", "net", "dsc", "xml03", "xvrn"}) {
            Path file = dir.resolve("t." + suffix);
            try {
                net.writeFile(file.toString());
            } catch (QELTAException e) {
                assertTrue(e.getMessage().contains(". "), e.getMessage());
                continue;
            }
            assertTrue(Files.size(file) < 20000, suffix + ": " + Files.size(file));
        }
    }

    @Test
    void submodelsEndWithTheLastHandleAndDeepTreesAreNotWritten() {
        int parent = MAIN;
        for (int k = 1; k < 32768; ++k) parent = net.addSubmodel(parent, "S" + k);
        assertEquals(32768, net.getSubmodelCount());
        assertEquals(parent, net.getSubmodel("S32767"));
        final int last = parent;
        QELTAException e = fails(() -> net.addSubmodel(last, "S32768"));
        assertEquals(-2, e.getErrorCode());
        assertTrue(e.getMessage().startsWith("QELTA error -2 in function CreateSubmodel. ")
                && e.getMessage().endsWith(
                        "Can't create submodel: a network holds at most 32768 submodels"),
                e.getMessage());
        assertEquals(32768, net.getSubmodelCount());
        // The usual refusals carry no log text.
        engineFails("CreateSubmodel", -2, "\nNo submodel has handle -5",
                () -> net.addSubmodel(-5, "Other"));

        e = fails(() -> net.writeString());
        assertTrue(e.getMessage().contains("Submodel 'S32767' nested too deeply"),
                e.getMessage());
    }

    @Test
    void equationNamingATerminalNodeFailsAndKeepsItsEquation() {
        int v = node("V", "yes", "no");
        int e = net.addNode(EQUATION, "E");
        net.setNodeTemporalType(v, 2);
        net.setNodeEquation(e, "E=3");
        QELTAException failure = fails(() -> net.setNodeEquation(e, "E=V+1"));
        assertEquals("QELTA error -2 in function SetEquation. Invalid equation, error at"
                + " position 2: Node V can't be a parent of an equation node.",
                failure.getMessage());
        assertEquals("E=3", net.getNodeEquation(e));
        assertEquals(0, net.getParents(e).length);
        try (Network back = new Network()) {
            back.readString(net.writeString());
            assertEquals("E=3", back.getNodeEquation("E"));
        }
    }

    @Test
    void temporalTableOverAnEquationParentReadsBack() {
        int m = net.addNode(EQUATION, "M");
        net.setNodeEquation(m, "M=Normal(0,1)");
        net.setNodeEquationBounds(m, -5, 5);
        net.setNodeEquationDiscretization(m, intervals(-1, 1, 5));
        int x = node("X", "s0", "s1");
        net.setNodeTemporalType(x, 3);
        net.addTemporalArc(x, x, 1);
        net.addArc(m, x);
        net.setSliceCount(3);
        double[] table = {0.1, 0.9, 0.2, 0.8, 0.3, 0.7, 0.4, 0.6, 0.5, 0.5, 0.6, 0.4};
        net.setNodeTemporalDefinition(x, 1, table);
        try (Network back = new Network()) {
            back.readString(net.writeString());
            assertArrayEquals(table, back.getNodeTemporalDefinition("X", 1));
        }
        // Four intervals: the temporal table grows as the node's own does.
        net.setNodeEquationDiscretization(m, intervals(-1, 1, 3, 5));
        assertEquals(16, net.getNodeTemporalDefinition(x, 1).length);
        try (Network back = new Network()) {
            back.readString(net.writeString());
            assertArrayEquals(net.getNodeTemporalDefinition(x, 1),
                    back.getNodeTemporalDefinition("X", 1));
        }
    }

    @Test
    void identifiersACaseNamesAreNotCleared() {
        node("X", "low", "high");
        String text = net.writeString().replace("<extensions>",
                "<cases><case name=\"c1\"><evidence node=\"X\" state=\"high\" /></case></cases>"
                        + "<extensions>");
        net.readString(text);
        QELTAException e = fails(() -> net.setIntervals("X", new double[] {0, 1, 2}, true));
        assertEquals(-51, e.getErrorCode());
        assertTrue(e.getMessage().endsWith("Outcome identifiers of node X cannot be cleared:"
                + " case 'c1' observes one of its outcomes"), e.getMessage());
        assertArrayEquals(new String[] {"low", "high"}, net.getOutcomeIds("X"));
        assertTrue(net.writeString().contains("state=\"high\""));
    }

    @Test
    void aNameXmlCannotCarryIsRefusedAndTheFileKept(@TempDir Path dir) throws Exception {
        int x = node("X", "low", "high");
        net.setNodeName(x, "x\uFFFEy");
        Path file = dir.resolve("n.xvrn");
        Files.writeString(file, "old");
        QELTAException e = fails(() -> net.writeFile(file.toString()));
        assertEquals(-103, e.getErrorCode());
        assertTrue(e.getMessage().contains("Node 'X' cannot be written: its name"), e.getMessage());
        assertEquals("old", Files.readString(file));
        net.setNodeName(x, "x\uFFFDy");
        net.writeFile(file.toString());
        try (Network back = new Network()) {
            back.readFile(file.toString());
            assertEquals("x\uFFFDy", back.getNodeName("X"));
        }
    }
}
