package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import org.junit.jupiter.api.Test;

/**
 * Decision, utility and multi-attribute utility nodes seen from Java: tables, evidence, values;
 * solved influence diagrams and the value of information.
 */
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
                "\nNode [Act] (NodeType.DECISION) takes no virtual evidence",
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
        engineFails("ClearEvidence", -51, "\nNode [U] (NodeType.UTILITY) takes no evidence",
                () -> net.clearEvidence("U"));
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
        // Null and empty both return the node to weights.
        for (String[] none : new String[][] {null, {}}) {
            net.setMauExpressions(m, none);
            assertEquals(0, net.getMauExpressions(m).length);
            net.setNodeDefinition("M", new double[] {0.6, 0.4});
            net.updateBeliefs();
            assertArrayEquals(new double[] {39.92, 19.04}, net.getNodeValue("M"), 1e-9);
            net.setMauExpressions("M", new String[] {"U1*U2"});
        }
    }

    @Test
    void refusedExpressionsSayWhy() {
        int m = diagram();
        node("X", "x0", "x1");
        String invalid = "QELTA error -1 in function SetExpressions. Invalid expression at index 0: ";
        String[][] cases = {
            {"QELTA error -2 in function SetExpressions. Wrong vector size: expected 1 expression"
                + " (one per configuration of the decision parents), got 2", "U1", "U2"},
            {invalid + "only non-descendant utility/ALU/MAU nodes are allowed: X is not a utility"
                + " or multi-attribute utility node", "X"},
            {invalid + "self-references not allowed: M", "M"},
            {invalid + "unknown identifier: Nobody", "Nobody"},
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

    /** Raiffa's oil wildcatter. */
    private void readOilWildcatter() {
        Path file = Path.of(System.getProperty("qelta.testdata", "tests/data"))
                .resolve("decisions/oil_wildcatter.xvrn");
        net.readFile(file.toString());
    }

    @Test
    void aSolvedDiagramGivesPoliciesIndexedByWhatIsKnown() {
        readOilWildcatter();
        net.updateBeliefs();
        assertArrayEquals(new double[] {77.5, -10, 160.0 / 7, -10, -1660.0 / 41, -10,
            20, 0, 20, 0, 20, 0}, net.getNodeValue("Drill"), 1e-9);
        assertArrayEquals(new String[] {"Test", "Seismic"},
                net.getValueIndexingParentIds("Drill"));
        assertArrayEquals(new double[] {22.5, 20}, net.getNodeValue("Test"), 1e-9);
    }

    @Test
    void observingOilBeforeDrillingIsWorthItsPrice() {
        readOilWildcatter();
        try (ValueOfInfo voi = new ValueOfInfo(net)) {
            assertEquals(-1, voi.getDecision());
            assertEquals(-1, voi.getPointOfView());
            assertNull(voi.getDecisionId());
            assertNull(voi.getPointOfViewId());
            assertArrayEquals(new double[0], voi.getValues());
            assertArrayEquals(new String[] {"Test", "Drill"}, voi.getAllDecisionIds());
            assertArrayEquals(new String[] {"Test", "Seismic", "Drill"}, voi.getAllActionIds());
            voi.addNode("Oil");
            voi.setPointOfView("Test");
            voi.setDecision("Drill");
            assertEquals("Drill", voi.getDecisionId());
            assertEquals("Test", voi.getPointOfViewId());
            voi.update();
            assertArrayEquals(new double[] {32.5}, voi.getValues(), 1e-9);
            assertArrayEquals(new int[0], voi.getIndexingNodes());
            assertArrayEquals(new String[] {"Oil"}, voi.getAllNodeIds());
        }
    }

    @Test
    void refusalsNameTheNode() {
        readOilWildcatter();
        try (ValueOfInfo voi = new ValueOfInfo(net)) {
            voi.addNode("Oil");
            refused("Cannot add node Oil to ValueOfInfo object", () -> voi.addNode("Oil"));
            refused("Cannot remove node Seismic to ValueOfInfo object",
                    () -> voi.removeNode("Seismic"));
            refused("Cannot set decision on ValueOfInfo object to node Oil",
                    () -> voi.setDecision(net.getNode("Oil")));
            refused("Cannot set point of view on ValueOfInfo object to node Payoff",
                    () -> voi.setPointOfView("Payoff"));
            refused("Invalid node handle: 99", () -> voi.addNode(99));
            engineFails("Update", -2, "\nValue of information needs a decision and a point of view",
                    voi::update);
        }
    }

    @Test
    void aClosedNetworkIsRefused() {
        Network other = new Network();
        other.addNode(17, "D");
        ValueOfInfo voi = new ValueOfInfo(other);
        other.close();
        refusedAll("Native object has been released by close().",
                () -> voi.addNode(0), () -> voi.getAllDecisionIds(), voi::update,
                () -> voi.getDecisionId());
        assertArrayEquals(new int[] {0}, voi.getAllDecisions());
        voi.close();
    }
}
