package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Decision, utility and multi-attribute utility nodes seen from Java: tables, evidence, values. */
class DecisionNodesTest extends NetworkFixture {
    static final int DECISION = 17;
    static final int UTILITY = 8;

    @Test
    void aDecisionHasChoicesButNoTable() {
        int d = net.addNode(DECISION, "Act");
        String message = "Cannot get node definition 'LIST' of node 'Act' as an array of doubles";
        refused(message, () -> net.getNodeDefinition("Act"));
        refused(message, () -> net.setNodeDefinition(d, new double[] {0.5, 0.5}));
        net.setEvidence(d, 1);
        assertTrue(net.isRealEvidence(d));
        engineFails("SetVirtualEvidence", -51,
                () -> net.setVirtualEvidence(d, new double[] {0.5, 0.5}));
    }

    @Test
    void aUtilityTakesOneNumberPerParentConfiguration() {
        node("A", "a0", "a1");
        node("B", "b0", "b1", "b2");
        int u = net.addNode(UTILITY, "U");
        net.addArc("A", "U");
        net.addArc("B", "U");
        assertArrayEquals(new double[] {1, 1, 1, 1, 1, 1}, net.getNodeDefinition(u), EXACT);
        double[] utilities = {-3, 0, 2.5, 7, 1e6, -1e-3};
        net.setNodeDefinition("U", utilities);
        assertArrayEquals(utilities, net.getNodeDefinition(u), EXACT);
        for (double bad : new double[] {Double.NaN, Double.NEGATIVE_INFINITY}) {
            double[] table = utilities.clone();
            table[4] = bad;
            QELTAException e = fails(() -> net.setNodeDefinition(u, table));
            assertEquals("QELTA error -2 in function SetDefinition. Utilities of node 'U' must"
                    + " be finite numbers", e.getMessage());
            assertEquals(-2, e.getErrorCode());
            assertArrayEquals(utilities, net.getNodeDefinition(u), EXACT);
        }
    }

    @Test
    void aUtilityTakesNoEvidenceAndHasNoValueBeforeASolve() {
        int u = net.addNode(UTILITY, "U");
        refused("Invalid outcome index 0 for node 'U', valid indices are 0..-1",
                () -> net.setEvidence(u, 0));
        engineFails("ClearEvidence", -51, () -> net.clearEvidence("U"));
        refused("Value not valid - node 'U'", () -> net.getNodeValue(u));
    }

    static final int MAU = 520;

    /** D (a, b) -> C; U1(D, C); U2(C); M over U1 and U2. */
    int diagram() {
        node(DECISION, "D", "a", "b");
        node("C", "good", "bad");
        net.addNode(UTILITY, "U1");
        net.addNode(UTILITY, "U2");
        net.addArc("D", "C");
        net.addArc("D", "U1");
        net.addArc("C", "U1");
        net.addArc("C", "U2");
        net.setNodeDefinition("C", new double[] {0.7, 0.3, 0.4, 0.6});
        net.setNodeDefinition("U1", new double[] {100, -20, 60, 10});
        net.setNodeDefinition("U2", new double[] {5, 1});
        int m = net.addNode(MAU, "M");
        net.addArc("U1", "M");
        net.addArc("U2", "M");
        return m;
    }

    @Test
    void weightsAndExpressionsGiveTheCombinedUtility() {
        int m = diagram();
        assertArrayEquals(new double[] {1, 1}, net.getNodeDefinition(m), EXACT);
        net.setNodeDefinition("M", new double[] {0.6, 0.4});
        assertEquals(0, net.getMauExpressions(m).length);
        net.updateBeliefs();
        assertArrayEquals(new double[] {39.92, 19.04}, net.getNodeValue("M"), 1e-9);
        net.setMauExpressions("M", new String[] {"U1*U2"});
        assertArrayEquals(new String[] {"U1*U2"}, net.getMauExpressions("M"));
        net.updateBeliefs();
        assertArrayEquals(new double[] {243.2, 78}, net.getNodeValue(m), 1e-9);
        assertArrayEquals(new double[] {243.2, 78}, net.getNodeValue("D"), 1e-9);
    }

    @Test
    void refusedExpressionsSayWhy() {
        int m = diagram();
        node("X", "x0", "x1");
        String invalid = "QELTA error -1 in function SetExpressions. Invalid expression at index 0: ";
        String[][] cases = {
            {"QELTA error -2 in function SetExpressions. Wrong vector size", "U1", "U2"},
            {invalid + "only non-descendant utility/ALU/MAU nodes are allowed", "X"},
            {invalid + "self-references not allowed", "M"},
            {invalid + "unknown identifier", "Nobody"},
            {invalid + "Random number generators not allowed", "Normal(0, 1)"},
        };
        for (String[] c : cases) {
            String[] texts = java.util.Arrays.copyOfRange(c, 1, c.length);
            QELTAException e = fails(() -> net.setMauExpressions(m, texts));
            assertEquals(c[0], e.getMessage());
        }
        QELTAException e = fails(() -> net.setMauExpressions(m, new String[] {"U1+"}));
        assertTrue(e.getMessage().startsWith("QELTA error -2 in function SetExpressions."
                + " Can't parse expression at index 0, error at position "), e.getMessage());
        assertEquals(0, net.getMauExpressions(m).length);
        refused("Node 'X' must be of type MAU", () -> net.getMauExpressions("X"));
        refused("Node 'X' must be of type MAU",
                () -> net.setMauExpressions("X", new String[] {"0"}));
    }
}
