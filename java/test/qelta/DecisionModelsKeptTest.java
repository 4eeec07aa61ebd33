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

    /** X (0.5, 0.5) with likelihoods (0.9, 0.1); D; U(X, D) = 100, 0, 0, 50. */
    private void likelihoodDiagram(boolean informed) {
        node("X", "x0", "x1");
        node(DECISION, "D", "d0", "d1");
        net.addNode(UTILITY, "U");
        if (informed) {
            net.addArc("X", "D");
        }
        net.addArc("X", "U");
        net.addArc("D", "U");
        net.setNodeDefinition("X", new double[] {0.5, 0.5});
        net.setNodeDefinition("U", new double[] {100, 0, 0, 50});
        net.setVirtualEvidence("X", new double[] {0.9, 0.1});
    }

    @Test
    void likelihoodsOfAnObservedNodeStayAndWeighItsScenarios() {
        likelihoodDiagram(true);
        net.updateBeliefs();
        assertArrayEquals(new double[] {0.9, 0.1}, net.getNodeValue("X"), TOL);
        assertArrayEquals(new double[] {0.9, 0.1}, net.getVirtualEvidence("X"), TOL);
        assertArrayEquals(new double[] {100, 0, 0, 50}, net.getNodeValue("D"), TOL);

        net.setInfluenceDiagramAlgorithm(1);
        QELTAException e = fails(net::updateBeliefs);
        assertEquals(-2, e.getErrorCode());
    }

    @Test
    void seeingALikelihoodNodeFirstIsWorthFive() {
        likelihoodDiagram(false);
        net.updateBeliefs();
        assertArrayEquals(new double[] {90, 5}, net.getNodeValue("D"), TOL);
        try (ValueOfInfo voi = new ValueOfInfo(net)) {
            voi.addNode("X");
            voi.setDecision("D");
            voi.update();
            assertArrayEquals(new double[] {5}, voi.getValues(), TOL);
        }
        assertArrayEquals(new double[] {0.9, 0.1}, net.getVirtualEvidence("X"), TOL);
    }

    @Test
    void aDecidedLaterDecisionLeavesTheNoisyNodeAlone() {
        for (int code : new int[] {0, 1}) {
            Network diagram = new Network();
            try {
                net.close();
                net = diagram;
                node(DECISION, "D1", "a", "b");
                node(NOISY_MAX, "A", "present", "absent");
                node(DECISION, "D2", "a", "b");
                net.addNode(UTILITY, "U");
                net.addArc("A", "D2");
                net.addArc("A", "U");
                net.addArc("D1", "U");
                net.setNodeDefinition("A", new double[] {0.1, 0.9});
                net.setNodeDefinition("U", new double[] {100, 0, 0, 50});
                net.setEvidence("D2", 0);
                net.setInfluenceDiagramAlgorithm(code);
                net.updateBeliefs();
                double[] expected = code == 0 ? new double[] {10, 45} : new double[] {0, 1};
                assertArrayEquals(expected, net.getNodeValue("D1"), TOL, "code " + code);
                assertArrayEquals(new String[0], net.getParentIds("A"));
                assertArrayEquals(new double[] {0.1, 0.9}, net.getNodeDefinition("A"), 0);
                assertArrayEquals(new double[] {0.1, 0.9}, net.getNoisyExpandedDefinition("A"),
                        1e-15);
            } finally {
                diagram.close();
            }
        }
    }

    @Test
    void theWorthSeenFromACanonicalPointOfViewIsThatOfItsTable() {
        for (int type : new int[] {CPT, NOISY_MAX, NOISY_ADDER}) {
            Network diagram = new Network();
            try {
                net.close();
                net = diagram;
                node(type, "A", "a0", "a1");
                node("X", "x0", "x1");
                node(DECISION, "D", "d0", "d1");
                net.addNode(UTILITY, "U");
                net.addArc("A", "D");
                net.addArc("A", "U");
                net.addArc("X", "U");
                net.addArc("D", "U");
                net.setNodeDefinition("A", new double[] {0.1, 0.9});
                net.setNodeDefinition("X", new double[] {0.5, 0.5});
                net.setNodeDefinition("U", new double[] {100, 0, 0, 100, 10, 0, 0, 10});
                try (ValueOfInfo voi = new ValueOfInfo(net)) {
                    voi.addNode("X");
                    voi.setDecision("D");
                    voi.setPointOfView("A");
                    voi.update();
                    assertArrayEquals(new double[] {19 - 9.5}, voi.getValues(), TOL,
                            "type " + type);
                }
                assertArrayEquals(new String[0], net.getParentIds("A"));
                assertArrayEquals(new double[] {0.1, 0.9}, net.getNodeDefinition("A"), 0);
            } finally {
                diagram.close();
            }
        }
    }
}
