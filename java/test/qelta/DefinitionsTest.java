package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import java.nio.file.Files;
import java.nio.file.Path;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/**
 * Node tables, parents and children, outcome identifiers, point values and intervals; noisy-MAX
 * strengths and Henrion form, DeMorgan parameters.
 */
class DefinitionsTest extends NetworkFixture {
    static final int NOISY_MAX = 146;
    static final int DEMORGAN = 82;

    /** A node of a kind the engine may not offer yet; the test is skipped when it is refused. */
    private int optionalNode(int type, String id) {
        try {
            return net.addNode(type, id);
        } catch (QELTAException e) {
            assumeTrue(false, "node type " + type + " is not available yet");
            return -1;
        }
    }

    @Test
    void aNodeWithoutATableIsRefusedByName() {
        int decision = net.addNode(17, "Act");
        String message = "Cannot get node definition 'LIST' of node 'Act' as an array of doubles";
        refused(message, () -> net.getNodeDefinition(decision));
        refused(message, () -> net.setNodeDefinition("Act", new double[] {1, 0}));
    }

    @Test
    void aNoisyMaxNodeTakesItsParametersNotItsTable() {
        int parent = node("P", "p0", "p1", "p2");
        int noisy = optionalNode(146, "Noisy");
        net.setOutcomes(noisy, new String[] {"present", "absent"}, new int[] {-1, -1});
        net.addArc(parent, noisy);
        // One column per parent outcome and the leak column, two numbers each.
        assertEquals(8, net.getNodeDefinition(noisy).length);
        refused("Invalid definition array size for node 'Noisy': expected 8 and got 6(the type of"
                + " this node is NoisyMax -- you need to pass noisy weights as parameter, including"
                + " constrained columns)", () -> net.setNodeDefinition(noisy, new double[6]));
    }

    @Test
    void theTableLengthMustMatchExactly() {
        int a = node("A", "a0", "a1", "a2");
        net.setNodeDefinition("A", new double[] {0.2, 0.3, 0.5});
        refused("Invalid definition array size for node 'A': expected 3 and got 2",
                () -> net.setNodeDefinition(a, new double[] {0.5, 0.5}));
        refused("Invalid definition array size for node 'A': expected 3 and got 4",
                () -> net.setNodeDefinition("A", new double[] {0.25, 0.25, 0.25, 0.25}));
        assertArrayEquals(new double[] {0.2, 0.3, 0.5}, net.getNodeDefinition(a), 0.0);
        // Numbers are taken as given, without any check or normalisation.
        net.setNodeDefinition(a, new double[] {7, -1, 0.5});
        assertArrayEquals(new double[] {7, -1, 0.5}, net.getNodeDefinition(a), 0.0);
    }

    @Test
    void aMissingTableIsRefusedFirst() {
        node("A", "a0", "a1");
        String message = "Node definition array cannot be null";
        refusedAll(message,
                () -> net.setNodeDefinition(0, null), () -> net.setNodeDefinition(9, null),
                () -> net.setNodeDefinition("A", null),
                () -> net.setNodeDefinition("Nobody", null));
        refused("Invalid node handle: 9", () -> net.setNodeDefinition(9, new double[2]));
        refused("Invalid node identifier: 'Nobody'",
                () -> net.setNodeDefinition("Nobody", new double[2]));
        refused("Invalid node handle: -1", () -> net.getNodeDefinition(-1));
        refused("Invalid node identifier: null", () -> net.getNodeDefinition((String) null));
    }

    @Test
    void aTruthTableTakesAnyNumbersToo() {
        int a = node("A", "a0", "a1");
        int t = node(TRUTH_TABLE, "T", "t0", "t1");
        net.addArc(a, t);
        assertArrayEquals(new double[] {1, 0, 1, 0}, net.getNodeDefinition(t), 0.0);
        net.setNodeDefinition("T", new double[] {0, 1, 1, 0});
        assertArrayEquals(new double[] {0, 1, 1, 0}, net.getNodeDefinition("T"), 0.0);
        for (double[] any : new double[][] {{1, 0, 0.4, 0.6}, {0, 0, 1, 0}, {1, 1, 1, 0}}) {
            net.setNodeDefinition(t, any);
            assertArrayEquals(any, net.getNodeDefinition("T"), 0.0);
        }
    }

    @Test
    void aTruthTableOfAnyNumbersSavesOnlyWhereItReadsBack(@TempDir Path dir) {
        int a = node("A", "a0", "a1");
        int t = node(TRUTH_TABLE, "T", "t0", "t1");
        net.addArc(a, t);
        double[] spread = {1, 0, 0.4, 0.6};
        net.setNodeDefinition(t, spread);
        for (String name : new String[] {"t.vrn", "t.dne"}) {
            String file = dir.resolve(name).toString();
            net.writeFile(file);
            try (Network back = new Network()) {
                back.readFile(file);
                assertEquals(TRUTH_TABLE, back.getNodeType("T"));
                assertArrayEquals(spread, back.getNodeDefinition("T"), 0.0, name);
            }
        }
        Path xml = dir.resolve("t.xvrn");
        QELTAException e = fails(() -> net.writeFile(xml.toString()));
        assertEquals(-103, e.getErrorCode());
        assertTrue(e.getMessage().contains("Truth table of node 'T'"), e.getMessage());
        assertFalse(Files.exists(xml));
        fails(() -> net.writeString());
    }

    @Test
    void parentsAndChildrenKeepArcOrder() {
        int a = node("A", "x", "y");
        int b = node("B", "x", "y");
        int c = node("C", "x", "y");
        int d = node("D", "x", "y");
        net.addArc(b, c);
        net.addArc(a, c);
        net.addArc(a, d);
        assertArrayEquals(new int[] {b, a}, net.getParents(c));
        assertArrayEquals(new String[] {"B", "A"}, net.getParentIds("C"));
        assertArrayEquals(new int[] {c, d}, net.getChildren("A"));
        assertArrayEquals(new String[] {"C", "D"}, net.getChildIds(a));
        assertEquals(0, net.getParents("A").length);
        assertEquals(0, net.getParentIds(b).length);
        assertEquals(0, net.getChildren(d).length);
        assertEquals(0, net.getChildIds("D").length);
        // The parent order is the table's dimension order: 2 x 2 x 2.
        assertEquals(8, net.getNodeDefinition(c).length);
        net.deleteArc(b, c);
        assertArrayEquals(new int[] {a}, net.getParents(c));
        assertEquals(0, net.getChildIds("B").length);
        assertEquals(4, net.getNodeDefinition(c).length);
        refused("Invalid node handle: 4", () -> net.getParents(4));
        refused("Invalid node identifier: 'E'", () -> net.getChildIds("E"));
    }

    @Test
    void outcomeIdentifiersAreReadByIndex() {
        int w = node("W", "sun", "rain", "snow");
        assertEquals("rain", net.getOutcomeId(w, 1));
        assertEquals("snow", net.getOutcomeId("W", 2));
        assertArrayEquals(new String[] {"sun", "rain", "snow"}, net.getOutcomeIds(w));
        assertArrayEquals(new String[] {"sun", "rain", "snow"}, net.getOutcomeIds("W"));
        assertTrue(net.hasOutcomeIds(w));
        refused("Invalid outcome index 3 for node 'W', valid indices are 0..2",
                () -> net.getOutcomeId(w, 3));
        refused("Invalid outcome index -1 for node 'W', valid indices are 0..2",
                () -> net.getOutcomeId("W", -1));
        refused("Invalid node handle: 1", () -> net.getOutcomeIds(1));
    }

    @Test
    void pointValuesAndIntervalsReplaceEachOther() {
        int t = node("T", "low", "mid", "high");
        assertFalse(net.hasPointValues(t));
        engineFails("GetPointValues", -3, "\nNode [T] has no point values",
                () -> net.getPointValues(t));
        engineFails("RemovePointValues", -3, "\nNode [T] has no point values",
                () -> net.removePointValues(t));
        engineFails("SetPointValues", -2, "\nNode [T] takes 3 point values, one per outcome, not 2",
                () -> net.setPointValues(t, new double[] {1, 2}));
        net.setPointValues("T", new double[] {3, -1, 2});
        assertTrue(net.hasPointValues(t));
        assertArrayEquals(new double[] {3, -1, 2}, net.getPointValues("T"), 0.0);
        engineFails("GetIntervals", -3, "\nNode [T] has no intervals", () -> net.getIntervals(t));

        // Refused intervals leave outcomes and numbers as they were.
        engineFails("SetIntervals", -4, "\nInterval bounds of node [T] must be numbers"
                        + " that never decrease, with no two empty intervals in a row",
                () -> net.setIntervals(t, new double[] {0, 2, 1, 3, 4, 5}, true));
        engineFails("SetIntervals", -2, "\nIntervals of node [T] need at least 3 bounds"
                        + " (2 intervals), not 2",
                () -> net.setIntervals(t, new double[] {0, 1}, false));
        assertArrayEquals(new String[] {"low", "mid", "high"}, net.getOutcomeIds(t));
        assertArrayEquals(new double[] {3, -1, 2}, net.getPointValues(t), 0.0);

        // Five bounds on three outcomes: the node gets a fourth outcome.
        net.setIntervals(t, new double[] {0, 1, 2, 3, 4}, false);
        assertFalse(net.hasPointValues(t));
        assertArrayEquals(new double[] {0, 1, 2, 3, 4}, net.getIntervals("T"), 0.0);
        assertEquals(4, net.getOutcomeCount(t));
        assertEquals(4, net.getNodeDefinition(t).length);
        net.removeIntervals("T");
        assertFalse(net.hasIntervals(t));
        engineFails("RemoveIntervals", -3, "\nNode [T] has no intervals",
                () -> net.removeIntervals(t));
        net.setPointValues(t, new double[] {1, 2, 3, 4});
        net.removePointValues("T");
        assertFalse(net.hasPointValues("T"));
    }

    @Test
    void intervalsMayReplaceTheOutcomeIdentifiers() {
        int t = node("T", "low", "high");
        net.setIntervals(t, new double[] {0, 10, 20}, true);
        assertFalse(net.hasOutcomeIds("T"));
        assertArrayEquals(new String[] {"", ""}, net.getOutcomeIds(t));
        assertEquals("", net.getOutcomeId(t, 1));
        // Without intervals the outcomes need identifiers again: generated ones.
        net.removeIntervals(t);
        assertTrue(net.hasOutcomeIds(t));
        assertArrayEquals(new String[] {"State0", "State1"}, net.getOutcomeIds(t));
    }

    @Test
    void numberMethodsRefuseBadNodes() {
        node("T", "a", "b");
        refusedAll("Invalid node handle: 1",
                () -> net.hasOutcomeIds(1), () -> net.hasPointValues(1),
                () -> net.getPointValues(1), () -> net.setPointValues(1, new double[2]),
                () -> net.removePointValues(1), () -> net.hasIntervals(1),
                () -> net.getIntervals(1), () -> net.setIntervals(1, new double[3], false),
                () -> net.removeIntervals(1));
        refused("Invalid node identifier: 'U'", () -> net.setIntervals("U", new double[3], true));
        // A missing array is refused before the node is looked at.
        refused("Unexpected null Java array.", () -> net.setIntervals("U", null, true));
        refused("Unexpected null Java array.", () -> net.setPointValues(1, null));
        refused("Invalid node identifier: 'U'", () -> net.getPointValues("U"));
    }

    @Test
    void noisyMaxStrengthsTableAndHenrionForm() {
        int parent = node("P", "p0", "p1", "p2");
        int noisy = node(NOISY_MAX, "N", "present", "absent");
        net.addArc(parent, noisy);
        refused("Invalid parent strength array size for node 'N': expected 3 and got 2",
                () -> net.setNoisyParentStrengths(noisy, 0, new int[] {1, 0}));
        refused("Parent strenghts array cannot be null",
                () -> net.setNoisyParentStrengths("N", 0, null));
        refused("Invalid parent index 1 for node N", () -> net.getNoisyParentStrengths(noisy, 1));
        refused("Node 'N' is not a child of node 'N'",
                () -> net.setNoisyParentStrengths(noisy, "N", null));
        engineFails("SetParentOutcomeStrengths", -4,
                "\nThe strengths of parent 0 of node [N] must order its 3 outcomes: each of 0 to 2 once",
                () -> net.setNoisyParentStrengths(noisy, "P", new int[] {0, 0, 1}));
        net.setNoisyParentStrengths("N", "P", new int[] {2, 1, 0});
        assertArrayEquals(new int[] {2, 1, 0}, net.getNoisyParentStrengths(noisy, 0));
        assertArrayEquals(new int[] {2, 1, 0}, net.getNoisyParentStrengths("N", "P"));

        net.setNodeDefinition(noisy, new double[] {0.8, 0.2, 0.5, 0.5, 0, 1, 0.1, 0.9});
        assertEquals(8, net.getNodeDefinition(noisy).length);
        // Parent outcome 2 is the strongest, outcome 0 the distinguished one.
        assertArrayEquals(new double[] {0.1, 0.9, 0.55, 0.45, 0.82, 0.18},
                net.getNoisyExpandedDefinition("N"), EXACT);
        assertArrayEquals(new double[] {0.82, 0.18, 0.55, 0.45, 0, 1, 0.1, 0.9},
                net.getNoisyHenrionDefinition(noisy), EXACT);
        net.setNoisyHenrionDefinition("N", new double[] {0.82, 0.18, 0.1, 0.9, 0, 1, 0.1, 0.9});
        assertArrayEquals(new double[] {0.8, 0.2, 0, 1, 0, 1, 0.1, 0.9},
                net.getNodeDefinition(noisy), EXACT);
        for (double bad : new double[] {Double.NaN, Double.NEGATIVE_INFINITY, 1.5}) {
            engineFails("SetDefinition", -4, "Parameters of node 'N' must lie in [0, 1]",
                    () -> net.setNodeDefinition(noisy, new double[] {bad, 0.2, 0.5, 0.5, 0, 1, 0.1, 0.9}));
            String shown = Double.isNaN(bad) ? "nan" : bad < 0 ? "-inf" : "1.5";
            engineFails("SetHenrionProbabilities", -4,
                    "\nHenrion probability 0 of node [N] is " + shown + ", not a probability",
                    () -> net.setNoisyHenrionDefinition(noisy, new double[] {bad, 0.18, 0.1, 0.9, 0, 1, 0.1, 0.9}));
        }
        assertArrayEquals(new double[] {0.8, 0.2, 0, 1, 0, 1, 0.1, 0.9},
                net.getNodeDefinition(noisy), EXACT);
        refused("Henrion probabilities array cannot be null",
                () -> net.setNoisyHenrionDefinition(noisy, null));
        refused("Invalid Henrion probabilities array size for node 'N': expected 8 and got 2",
                () -> net.setNoisyHenrionDefinition(noisy, new double[2]));
        engineFails("SetHenrionProbabilities", -2, "\nHenrion column 2 of node [N] is that of the"
                + " distinguished outcome of parent [P]: it stays 1 in the last outcome and 0 elsewhere",
                () -> net.setNoisyHenrionDefinition(noisy, new double[] {0.82, 0.18, 0.1, 0.9, 0.5, 0.5,
                        0.1, 0.9}));
        refusedAll("Node 'P' must be of type NoisyMax",
                () -> net.getNoisyExpandedDefinition(parent),
                () -> net.setNoisyParentStrengths(parent, 0, new int[3]));
        assertTrue(net.isNoisySynchronized(-1));
        assertTrue(net.isNoisyExpanded("nobody"));
        net.setNoisySynchronized(-1, false);
    }

    @Test
    void deMorganParameters() {
        int a = net.addNode(DEMORGAN, "A");
        int g = net.addNode(DEMORGAN, "G");
        net.addArc(a, g);
        assertEquals(0.5, net.getDeMorganPriorBelief(g), 0.0);
        net.setDeMorganPriorBelief("G", 0.1);
        engineFails("SetPriorBelief", -4,
                "\nThe prior belief of node [G] lies from 0 to 1, not -0.1",
                () -> net.setDeMorganPriorBelief(g, -0.1));
        assertEquals(0.1, net.getDeMorganPriorBelief("G"), 0.0);

        assertEquals(2, net.getDeMorganParentType(g, 0));
        refusedCode("type", "7", () -> net.setDeMorganParentType(g, "A", 7));
        net.setDeMorganParentType(g, "A", DeMorganParentType.BARRIER);
        assertEquals(3, net.getDeMorganParentType("G", "A"));
        net.setDeMorganParentType("G", 0, 0);
        engineFails("SetParentType", -2, "\nNode [G] has no parent at index 1; it has 1",
                () -> net.setDeMorganParentType(g, 1, 0));
        engineFails("GetParentType", -1, "\nNode [G] has no parent at index 1; it has 1",
                () -> net.getDeMorganParentType(g, 1));

        net.setDeMorganParentWeight(g, 0, 1.0);
        engineFails("SetParentWeight", -4,
                "\nThe parent weight of node [G] lies from 0 to 1, not 1.5",
                () -> net.setDeMorganParentWeight("G", "A", 1.5));
        engineFails("SetParentWeight", -2, "\nNode [G] has no parent at index 1; it has 1",
                () -> net.setDeMorganParentWeight(g, 1, 0.5));
        assertEquals(1.0, net.getDeMorganParentWeight("G", 0), 0.0);
        engineFails("GetParentWeight", -1, "\nNode [G] has no parent at index 1; it has 1",
                () -> net.getDeMorganParentWeight(g, 1));
        // An inhibitor of weight 1 forbids "True" while A (even odds) is "True".
        net.updateBeliefs();
        assertArrayEquals(new double[] {0.05, 0.95}, net.getNodeValue(g), EXACT);

        refused("Node 'G' is not a child of node 'G'", () -> net.getDeMorganParentWeight(g, "G"));
        refused("Node 'G' is not a temporal child of node 'A' with order 1",
                () -> net.getDeMorganTemporalParentType(g, 1, "A"));
        engineFails("GetTemporalParentType", -1,
                "\nNode [G] has no temporal parent of order 1 at index 0",
                () -> net.getDeMorganTemporalParentType(g, 1, 0));
        engineFails("SetTemporalParentType", -1,
                "\nNode [G] has no temporal parent of order 1 at index 0",
                () -> net.setDeMorganTemporalParentType("G", 1, 0, 2));
        engineFails("GetTemporalParentWeight", -1,
                "\nNode [G] has no temporal parent of order 1 at index 0",
                () -> net.getDeMorganTemporalParentWeight(g, 1, 0));
        engineFails("SetTemporalParentWeight", -1,
                "\nNode [G] has no temporal parent of order 1 at index 0",
                () -> net.setDeMorganTemporalParentWeight(g, 1, 0, 0.5));

        int noisy = net.addNode(NOISY_MAX, "N");
        refusedAll("Node 'N' must be of type DeMorgan",
                () -> net.getDeMorganPriorBelief(noisy),
                () -> net.setDeMorganParentType(noisy, 0, 1),
                () -> net.getDeMorganTemporalParentWeight(noisy, 1, 0));
        refused("Node 'G' must be of type NoisyMax", () -> net.getNoisyExpandedDefinition(g));
        refused("Cannot get node definition 'DEMORGAN' of node 'G' as an array of doubles",
                () -> net.getNodeDefinition(g));
    }
}
