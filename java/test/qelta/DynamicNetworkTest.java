package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Dynamic networks from Java: structure, slice evidence, temporal tables, unrolling. */
class DynamicNetworkTest extends NetworkFixture {
    static final int PLATE = 3;
    static final int NOISY_MAX = 146;
    static final double[] RAIN = {
        0.86733888957548, 0.82041905362368, 0.30748357600662, 0.82041905362368, 0.86733888957548};

    /** The umbrella world: Rain -> Umbrella in the plate, Rain -> Rain of order 1. */
    static void umbrella(Network n) {
        int rain = n.addNode(CPT, "Rain");
        n.setOutcomes(rain, new String[] {"T", "F"}, new int[] {-1, -1});
        int umbrella = n.addNode(CPT, "Umbrella");
        n.setOutcomes(umbrella, new String[] {"T", "F"}, new int[] {-1, -1});
        n.addArc(rain, umbrella);
        n.setNodeTemporalType("Umbrella", PLATE);
        n.setNodeTemporalType(rain, PLATE);
        n.addTemporalArc("Rain", "Rain", 1);
        n.setNodeDefinition(rain, new double[] {0.5, 0.5});
        n.setNodeDefinition(umbrella, new double[] {0.9, 0.1, 0.2, 0.8});
        n.setNodeTemporalDefinition("Rain", 1, new double[] {0.7, 0.3, 0.3, 0.7});
        n.setSliceCount(5);
    }

    static void umbrellaDays(Network n) {
        String[] seen = {"T", "T", "F", "T", "T"};
        for (int s = 0; s < seen.length; s++) {
            n.setTemporalEvidence("Umbrella", s, seen[s]);
        }
    }

    static void assertRain(Network n) {
        n.updateBeliefs();
        double[] rows = n.getNodeValue("Rain");
        assertEquals(10, rows.length);
        for (int s = 0; s < 5; s++) {
            assertEquals(RAIN[s], rows[2 * s], EXACT, "slice " + s);
        }
    }

    /** The unrolled network's own beliefs are checked natively; here the plate's rows. */
    @Test
    void umbrellaWorldGivesOneRowPerSlice() {
        umbrella(net);
        umbrellaDays(net);
        assertRain(net);
        assertEquals(PLATE, net.getNodeTemporalType("Rain"));
    }

    @Test
    void structureQueriesAndUnrollMap() {
        assertEquals(0, net.getSliceCount());
        assertEquals(0, net.getMaxTemporalOrder());
        engineFails("UnrollNetwork", -2,
                "\nThe network has no plate node: there is nothing to unroll", () -> net.unroll());
        // A count below 1 is ignored: the network still has no temporal part.
        for (int count : new int[] {0, -1, Integer.MIN_VALUE}) {
            net.setSliceCount(count);
            assertEquals(0, net.getSliceCount());
        }

        int p = node("P", "a", "b");
        int n = node("N", "a", "b");
        int q = node("Q", "a", "b");
        net.addArc(n, p);
        net.setNodeTemporalType(p, PLATE);
        net.setNodeTemporalType("Q", PLATE);
        assertEquals(-1, net.getMaxTemporalOrder());
        assertEquals(0, net.getMaxNodeTemporalOrder("P"));
        assertEquals(-2, net.getMaxNodeTemporalOrder(n));
        net.addTemporalArc(p, q, 1);
        net.addTemporalArc("Q", "Q", 2);
        QELTAException again = fails(() -> net.addTemporalArc(p, q, 1));
        assertEquals(-2, again.getErrorCode());
        assertTrue(again.getMessage().startsWith("QELTA error -2 in function AddTemporalArc"));
        refused("Invalid node identifier: 'y'", () -> net.addTemporalArc("x", "y", 1));
        assertTrue(net.temporalArcExists("P", "Q", 1));
        assertFalse(net.temporalArcExists(p, q, 2));
        assertEquals(2, net.getMaxTemporalOrder());
        assertArrayEquals(new int[] {1, 2}, net.getTemporalOrders("Q"));

        assertArrayEquals(new TemporalInfo[] {new TemporalInfo(q, "Q", 2)}, net.getTemporalParents("Q", 2));
        assertArrayEquals(new TemporalInfo[] {new TemporalInfo(q, "Q", 1)},
                net.getTemporalChildren(p));
        assertArrayEquals(new TemporalInfo[] {new TemporalInfo(p, "P", 1)}, net.getUnrolledParents(q, 1));
        engineFails("GetUnrolledParents", -2,
                "\nUnrolled parents are asked up to a temporal order of 1 or more, not 0",
                () -> net.getUnrolledParents("P", 0));
        assertEquals(2, net.getUnrolledParents("Q").length);
        String outside = "\nNode [N] is not a plate node: temporal arcs join plate nodes";
        engineFails("GetTemporalParents", -2, outside, () -> net.getUnrolledParents(n));
        engineFails("GetTemporalOrders", -2, outside, () -> net.getTemporalOrders(n));
        refusedCode("type", "8", () -> net.setNodeTemporalType(n, PLATE + 5));

        net.setSliceCount(3);
        net.setSliceCount(0);
        assertEquals(3, net.getSliceCount());
        UnrollResults result = net.unroll();
        try (Network flat = result.unrolled()) {
            int[] map = result.unrollMap();
            assertArrayEquals(new int[] {0, 2, 3, 4, 5, 6}, map);
            String[] ids = {"P_1", "Q_1", "P_2", "Q_2"};
            for (int i = 0; i < ids.length; i++) {
                assertEquals(ids[i], flat.getNodeId(map[2 + i]));
            }
        }
        net.deleteTemporalArc("Q", "Q", 2);
        assertFalse(net.temporalArcExists(q, q, 2));
    }

    /**
     * A fleet: Wear is failed in slice 2 and, without service, cannot be good in slice 3. Without
     * evidence the probability is 1, not a rounding above it.
     */
    @Test
    void evidenceImpossibleOverSlicesIsNamedWhereItBecomesSo() {
        int service = node("Service", "yes", "no");
        int wear = node("Wear", "good", "worn", "failed");
        net.addArc(service, wear);
        net.setNodeTemporalType(wear, PLATE);
        net.setNodeTemporalType(service, PLATE);
        net.addTemporalArc(wear, wear, 1);
        net.setSliceCount(6);
        net.setNodeDefinition(service, new double[] {0.3, 0.7});
        net.setNodeDefinition(wear, new double[] {0.8, 0.15, 0.05, 0.6, 0.3, 0.1});
        net.setNodeTemporalDefinition("Wear", 1, new double[] {
            0.9, 0.1, 0, 0.8, 0.2, 0, 0.7, 0.2, 0.1, 0.7, 0.2, 0.1, 0, 0.6, 0.4, 0, 0, 1});
        assertEquals(1.0, net.probEvidence());
        net.setTemporalEvidence("Wear", 2, "failed");
        net.setTemporalEvidence("Service", 3, "no");
        net.setTemporalEvidence("Wear", 3, "good");
        QELTAException e = fails(() -> net.updateBeliefs());
        assertEquals(-43, e.getErrorCode());
        assertTrue(e.getMessage().endsWith("The evidence is impossible: its probability becomes zero"
                + " with outcome [good] of node [Wear] in slice 3"), e.getMessage());
        assertEquals(0, net.getTemporalEvidence(wear, 3));
        assertFalse(net.isValueValid(service));
        assertEquals(0.0, net.probEvidence());
    }

    @Test
    void sliceEvidence() {
        int p = node("P", "a", "b");
        int n = node("N", "a", "b");
        assertFalse(net.hasTemporalEvidence(p));
        refused("Slice index must be less than slice count, which is set to 0",
                () -> net.isTemporalEvidence(p, 0));
        net.setNodeTemporalType(p, PLATE);
        refused("Slice index must be less than slice count, which is set to 10",
                () -> net.setTemporalEvidence(p, 10, 0));
        refused("Slice cannot be negative", () -> net.clearTemporalEvidence("P", -1));
        refused("Invalid outcome index 2 for node 'P', valid indices are 0..1",
                () -> net.setTemporalEvidence(p, 99, 2));
        refused("Virtual evidence array cannot be null",
                () -> net.setTemporalVirtualEvidence(99, 1, null));
        engineFails("SetTemporalEvidence", -51,
                "\nNode [N] (TemporalType.NORMAL) takes evidence by slice only as"
                        + " TemporalType.PLATE",
                () -> net.setTemporalEvidence(n, 1, 0));

        net.setTemporalEvidence(p, 0, 1);
        assertTrue(net.isTemporalEvidence("P", 0));
        assertEquals(1, net.getEvidence(p));
        engineFails("GetTemporalEvidence", -2, "\nNode [P] has no evidence in slice 2",
                () -> net.getTemporalEvidence(p, 2));
        assertFalse(net.isTemporalEvidence(p, 2));
        net.setTemporalEvidence("P", 2, "a");
        assertEquals("a", net.getTemporalEvidenceId(p, 2));
        assertEquals(0, net.getTemporalEvidence("P", 2));
        net.setTemporalVirtualEvidence("P", 3, new double[] {0.2, 0.8});
        assertTrue(net.isTemporalVirtualEvidence(p, 3));
        assertArrayEquals(new double[] {0.2, 0.8}, net.getTemporalVirtualEvidence("P", 3), EXACT);
        engineFails("GetTemporalEvidence", -2, "\nNode [P] has no virtual evidence in slice 2",
                () -> net.getTemporalVirtualEvidence(p, 2));
        QELTAException shortEvidence = fails(() -> net.setTemporalVirtualEvidence(p, 4, new double[] {1}));
        assertTrue(shortEvidence.getMessage().endsWith(" in function SetTemporalEvidence. \nNode [P]"
                + " takes 2 likelihoods, one per outcome, not 1"), shortEvidence.getMessage());
        net.clearTemporalEvidence(p, 3);
        net.clearTemporalEvidence("P", 0);
        engineFails("ClearTemporalEvidence", -4, "\nNode [P] has no evidence to clear in slice 3",
                () -> net.clearTemporalEvidence(p, 3));
        engineFails("ClearTemporalEvidence", -2, "\nNode [P] has no evidence to clear in slice 0",
                () -> net.clearTemporalEvidence(p, 0));
    }

    @Test
    void temporalDefinitionsAndNoisyStrengths() {
        int p = node("P", "a", "b");
        int n = node("N", "a", "b");
        net.setNodeTemporalType(p, PLATE);
        refused("Temporal definition array cannot be null",
                () -> net.setNodeTemporalDefinition(99, 1, null));
        refusedAll("Only plate nodes have temporal definitions",
                () -> net.getNodeTemporalDefinition(n, 1),
                () -> net.setNodeTemporalDefinition("N", 1, new double[2]));
        QELTAException missing = fails(() -> net.getNodeTemporalDefinition(p, 1));
        assertEquals("Cannot get the temporal definition of type 'CPT' of node 'P' as an array"
                + " of doubles for order 1", missing.getMessage());
        net.addTemporalArc(p, p, 1);
        fails(() -> net.setNodeTemporalDefinition(p, 1, new double[3]));
        assertArrayEquals(new double[] {0.5, 0.5, 0.5, 0.5}, net.getNodeTemporalDefinition(p, 1), EXACT);
        net.setNodeTemporalDefinition(p, 1, new double[] {0.1, 0.9, 0.6, 0.4});
        assertArrayEquals(new double[] {0.1, 0.9, 0.6, 0.4}, net.getNodeTemporalDefinition("P", 1), EXACT);

        int m = node(NOISY_MAX, "M", "present", "absent");
        net.setNodeTemporalType(m, PLATE);
        refused("Node 'P' must be of type NoisyMax", () -> net.getNoisyTemporalParentStrengths(p, 1));
        assertEquals(0, net.getNoisyTemporalParentStrengths(m, 1).length);
        net.addTemporalArc(p, m, 1);
        assertArrayEquals(new int[][] {{0, 1}}, net.getNoisyTemporalParentStrengths("M", 1));
        refused("Temporal parent strengths array cannot be null",
                () -> net.setNoisyTemporalParentStrengths(m, 1, null));
        refused("Temporal parent strengths array element cannot be null (index 0)",
                () -> net.setNoisyTemporalParentStrengths(m, 1, new int[][] {null}));
        engineFails("SetTemporalParentOutcomeStrengths", -4,
                () -> net.setNoisyTemporalParentStrengths(m, 1, new int[][] {{0, 0}}));
        net.setNoisyTemporalParentStrengths("M", 1, new int[][] {{1, 0}});
        assertArrayEquals(new int[][] {{1, 0}}, net.getNoisyTemporalParentStrengths(m, 1));
        double[] weights = net.getNodeTemporalDefinition(m, 1);
        weights[0] = 0.7;
        weights[1] = 0.3;
        net.setNodeTemporalDefinition(m, 1, weights);
        assertArrayEquals(weights, net.getNodeTemporalDefinition(m, 1), EXACT);
    }

    @Test
    void deMorganTemporalRolesAndWeights() {
        final int demorgan = 82;
        int b = net.addNode(demorgan, "B");
        int d = net.addNode(demorgan, "D");
        net.setNodeTemporalType(b, PLATE);
        net.setNodeTemporalType(d, PLATE);
        net.addTemporalArc(b, d, 1);
        net.addTemporalArc(d, d, 2);
        engineFails("GetTemporalParentType", -1,
                "\nNode [D] has no temporal parent of order 3 at index 0",
                () -> net.getDeMorganTemporalParentType(d, 3, 0));
        engineFails("GetTemporalParentWeight", -1,
                "\nNode [D] has no temporal parent of order 1 at index 1",
                () -> net.getDeMorganTemporalParentWeight("D", 1, 1));
        refused("Node 'D' is not a temporal child of node 'D' with order 1",
                () -> net.setDeMorganTemporalParentType(d, 1, "D", 0));
        net.setDeMorganTemporalParentType("D", 1, "B", 3);
        assertEquals(3, net.getDeMorganTemporalParentType(d, 1, 0));
        engineFails("SetTemporalParentWeight", -4,
                "\nThe parent weight of node [D] lies from 0 to 1, not 1.5",
                () -> net.setDeMorganTemporalParentWeight(d, 2, 0, 1.5));
        net.setDeMorganTemporalParentWeight(d, 2, "D", 0.375);
        assertEquals(0.375, net.getDeMorganTemporalParentWeight("D", 2, "D"), EXACT);
        refused("Node 'B' must be of type NoisyMax", () -> net.getNoisyTemporalParentStrengths(b, 1));
        net.setSliceCount(3);
        net.updateBeliefs();
        assertEquals(6, net.getNodeValue(d).length);
    }

    /** Equation, utility and MAU nodes have no outcomes to hold per slice: never plate nodes. */
    @Test
    void kindsWithoutOutcomesAreRefusedAsPlateNodes() {
        umbrella(net);
        for (int kind : new int[] {4, 8, 520}) {
            int u = net.addNode(kind, "U");
            QELTAException e = fails(() -> net.setNodeTemporalType(u, PLATE));
            assertEquals(-51, e.getErrorCode());
            assertTrue(e.getMessage().contains("Node 'U' cannot be a plate node"), e.getMessage());
            assertEquals(0, net.getNodeTemporalType(u));
            net.deleteNode(u);
        }
        String doc = "<qelta version=\"1.0\" id=\"N\">\n<nodes>\n"
                + "<utility id=\"U\" dynamic=\"plate\">\n<utilities>1</utilities>\n</utility>\n"
                + "</nodes>\n</qelta>\n";
        try (Network read = new Network()) {
            QELTAException e = fails(() -> read.readString(doc));
            assertTrue(e.getMessage().contains("Node 'U' cannot be a plate node"), e.getMessage());
            assertTrue(e.getMessage().contains("dynamic node type to 'plate' for 'U'"), e.getMessage());
        }
    }
}
