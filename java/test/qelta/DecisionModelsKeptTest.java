package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.api.Test;

/**
 * Solving an influence diagram and valuing information read the diagram's models without changing
 * them: likelihoods weigh what they are set on, decided decisions add no arc into a chance node,
 * and a canonical point of view answers as the table it expands to.
 */
class DecisionModelsKeptTest extends NetworkFixture {
    static final int DECISION = 17;
    static final int UTILITY = 8;
    static final int NOISY_MAX = 146;
    static final int NOISY_ADDER = 274;
    static final double TOL = 1e-9;

    private void fresh() {
        net.close();
        net = new Network();
    }

    /** A two-outcome node, with its table when one is given. */
    private void node2(int type, String id, double... table) {
        node(type, id, id + "0", id + "1");
        if (table.length > 0) {
            net.setNodeDefinition(id, table);
        }
    }

    /** The utility node U over the given parents, with its table. */
    private void utility(double[] table, String... parents) {
        net.addNode(UTILITY, "U");
        for (String parent : parents) {
            net.addArc(parent, "U");
        }
        net.setNodeDefinition("U", table);
    }

    /** The worth of observing X before D, from the given point of view (null: the default). */
    private double[] worthOfX(String pointOfView) {
        try (ValueOfInfo voi = new ValueOfInfo(net)) {
            voi.addNode("X");
            voi.setDecision("D");
            if (pointOfView != null) {
                voi.setPointOfView(pointOfView);
            }
            voi.update();
            return voi.getValues();
        }
    }

    /** X (0.5, 0.5) with likelihoods (0.9, 0.1); D, informed of X or not; U(X, D) = 100, 0, 0, 50. */
    @Test
    void likelihoodsStayAndWeighTheirNodesScenarios() {
        for (boolean informed : new boolean[] {true, false}) {
            fresh();
            node2(CPT, "X", 0.5, 0.5);
            node2(DECISION, "D");
            if (informed) {
                net.addArc("X", "D");
            }
            utility(new double[] {100, 0, 0, 50}, "X", "D");
            net.setVirtualEvidence("X", new double[] {0.9, 0.1});
            net.updateBeliefs();
            if (informed) {
                assertArrayEquals(new double[] {0.9, 0.1}, net.getNodeValue("X"), TOL);
                assertArrayEquals(new double[] {100, 0, 0, 50}, net.getNodeValue("D"), TOL);
            } else {
                assertArrayEquals(new double[] {90, 5}, net.getNodeValue("D"), TOL);
                assertArrayEquals(new double[] {5}, worthOfX(null), TOL);
            }
            assertArrayEquals(new double[] {0.9, 0.1}, net.getVirtualEvidence("X"), TOL);
        }
        // The best-policy code needs X observed before D, as it is without the likelihoods.
        net.addArc("X", "D");
        net.setInfluenceDiagramAlgorithm(1);
        assertEquals(-2, fails(net::updateBeliefs).getErrorCode());
    }

    /** D1; noisy-MAX A with leak (0.1, 0.9); D2 observing A and decided; U(A, D1). */
    @Test
    void aDecidedLaterDecisionLeavesTheNoisyNodeAlone() {
        for (int code : new int[] {0, 1}) {
            fresh();
            node2(DECISION, "D1");
            node2(NOISY_MAX, "A", 0.1, 0.9);
            node2(DECISION, "D2");
            net.addArc("A", "D2");
            utility(new double[] {100, 0, 0, 50}, "A", "D1");
            net.setEvidence("D2", 0);
            net.setInfluenceDiagramAlgorithm(code);
            net.updateBeliefs();
            double[] expected = code == 0 ? new double[] {10, 45} : new double[] {0, 1};
            assertArrayEquals(expected, net.getNodeValue("D1"), TOL, "code " + code);
            assertArrayEquals(new String[0], net.getParentIds("A"));
            assertArrayEquals(new double[] {0.1, 0.9}, net.getNodeDefinition("A"), 0);
            assertArrayEquals(new double[] {0.1, 0.9}, net.getNoisyExpandedDefinition("A"), 1e-15);
        }
    }

    /** A (0.1, 0.9) and X (0.5, 0.5); D observes A; U(A, X, D) rewards D matching X. */
    @Test
    void theWorthSeenFromACanonicalPointOfViewIsThatOfItsTable() {
        for (int type : new int[] {CPT, NOISY_MAX, NOISY_ADDER}) {
            fresh();
            node2(type, "A", 0.1, 0.9);
            node2(CPT, "X", 0.5, 0.5);
            node2(DECISION, "D");
            net.addArc("A", "D");
            utility(new double[] {100, 0, 0, 100, 10, 0, 0, 10}, "A", "X", "D");
            assertArrayEquals(new double[] {19 - 9.5}, worthOfX("A"), TOL, "type " + type);
            assertArrayEquals(new String[0], net.getParentIds("A"));
            assertArrayEquals(new double[] {0.1, 0.9}, net.getNodeDefinition("A"), 0);
        }
    }
}
