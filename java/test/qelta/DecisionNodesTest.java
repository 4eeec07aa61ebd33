package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Decision and utility nodes seen from Java: tables, evidence and values. */
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
}
