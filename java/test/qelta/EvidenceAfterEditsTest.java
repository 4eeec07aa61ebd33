package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/**
 * Evidence after edits: what other evidence implies is never read stale, a refused observation
 * keeps the earlier one, annealed MAP counts every likelihood; best-policy solving without
 * utilities, slice likelihoods across a type change, polytree propagation with equations.
 */
class EvidenceAfterEditsTest extends NetworkFixture {
    static final int EQUATION = 4;
    static final int UTILITY = 8;
    static final int DECISION = 17;
    static final int PLATE = 3;

    /** A (0.3, 0.7) -> B, a copy of A. */
    private void copied() {
        node("A", "a0", "a1");
        node("B", "b0", "b1");
        net.addArc("A", "B");
        net.setNodeDefinition("A", new double[] {0.3, 0.7});
        net.setNodeDefinition("B", new double[] {1, 0, 0, 1});
    }

    /** The network saved and read back, with the observations of net. */
    private Network fresh() {
        Network f = new Network();
        f.readString(net.writeString());
        f.setInfluenceDiagramAlgorithm(net.getInfluenceDiagramAlgorithm());
        f.setBayesianAlgorithm(net.getBayesianAlgorithm());
        for (String id : net.getAllNodeIds()) {
            if (net.isRealEvidence(id)) {
                f.setEvidence(id, net.getEvidence(id));
            }
        }
        return f;
    }

    @Test
    void switchingRelevanceOnDerivesImpliedEvidenceAgain() {
        for (int code : new int[] {0, 1}) {
            net.close();
            net = new Network();
            copied();
            node(DECISION, "D", "d0", "d1");
            net.addNode(UTILITY, "U");
            net.addArc("A", "D");
            net.addArc("A", "U");
            net.addArc("D", "U");
            net.setNodeDefinition("U", new double[] {10, 0, 0, 20});
            net.setInfluenceDiagramAlgorithm(code);
            net.setRelevanceEnabled(false);
            net.setEvidence("B", 0);
            if (code == 0) {
                net.updateBeliefs();
            }
            net.setRelevanceEnabled(true);
            assertTrue(net.isPropagatedEvidence("A"));
            net.updateBeliefs();
            try (Network f = fresh()) {
                f.updateBeliefs();
                assertArrayEquals(f.getNodeValue("D"), net.getNodeValue("D"), EXACT);
            }
            assertArrayEquals(code == 0 ? new double[] {10, 0} : new double[] {1, 0},
                    net.getNodeValue("D"), EXACT);
        }
    }

    @Test
    void readersNeverSeeImpliedEvidenceWhoseCauseIsGone() {
        copied();
        node("C", "c0", "c1");
        net.addArc("A", "C");
        net.setNodeDefinition("C", new double[] {0.6, 0.4, 0.2, 0.8});
        net.setEvidence("B", 0);
        assertTrue(net.isPropagatedEvidence("A"));
        net.setRelevanceEnabled(false);
        net.clearEvidence("B");
        assertFalse(net.isPropagatedEvidence("A"));
        assertFalse(net.isEvidence("A"));
        assertEquals(1.0, net.probEvidence(), EXACT);
        AnnealedMapResults map = net.annealedMap(new String[] {"C"}, null);
        assertArrayEquals(new int[] {1}, map.mapStates());
        assertEquals(0.68, map.probM1E(), EXACT);
        assertEquals(1.0, map.probE(), EXACT);
        net.setEvidence("A", 1);
        assertTrue(net.isRealEvidence("A"));
        assertEquals(1, net.getEvidence("A"));
    }

    @Test
    void annealedMapCountsTheLikelihoodsOfAnImpliedNode() {
        node("A", "a0", "a1");
        node("C", "c0", "c1");
        net.addArc("A", "C");
        net.setNodeDefinition("A", new double[] {0.3, 0.7});
        net.setNodeDefinition("C", new double[] {1, 0, 0, 1});
        net.setVirtualEvidence("C", new double[] {0.25, 0.75});
        net.setEvidence("A", 0);
        assertEquals(0.075, net.probEvidence(), EXACT);
        AnnealedMapResults map = net.annealedMap(new String[] {"C"}, null);
        assertEquals(0.075, map.probE(), EXACT);
        assertArrayEquals(new int[] {0}, map.mapStates());
        assertArrayEquals(new double[] {0.25, 0.75}, net.getVirtualEvidence("C"), EXACT);
    }

    @Test
    void aRefusedObservationKeepsTheEarlierOne() {
        node("A", "a0", "a1");
        net.setNodeDefinition("A", new double[] {0.3, 0.7});
        net.setEvidence("A", 1);
        net.setNodeDefinition("A", new double[] {1, 0});
        fails(() -> net.setEvidence("A", 1));
        assertTrue(net.isRealEvidence("A"));
        assertEquals(1, net.getEvidence("A"));
        assertArrayEquals(new double[] {1, 0}, net.getNodeDefinition("A"), EXACT);

        net.close();
        net = new Network();
        copied();
        net.setRelevanceEnabled(false);
        net.setEvidence("A", 1);
        net.setEvidence("B", 0);
        net.setRelevanceEnabled(true);
        assertEquals(-26, fails(() -> net.setEvidence("A", 1)).getErrorCode());
        assertEquals(1, net.getEvidence("A"));
        assertEquals(0, net.getEvidence("B"));
        assertTrue(net.isRealEvidence("A"));
    }

    @Test
    void bestPolicySolvingWithoutUtilitiesAnswersAsCode0() {
        double[][] beliefs = new double[2][];
        for (int code : new int[] {0, 1}) {
            net.close();
            net = new Network();
            node("A", "a0", "a1");
            node(DECISION, "D", "d0", "d1");
            node("C", "c0", "c1");
            net.addArc("A", "D");
            net.addArc("D", "C");
            net.setNodeDefinition("A", new double[] {0.3, 0.7});
            net.setNodeDefinition("C", new double[] {0.9, 0.1, 0.5, 0.5});
            net.setInfluenceDiagramAlgorithm(code);
            net.updateBeliefs();
            assertFalse(net.isValueValid("D"));
            assertArrayEquals(new double[] {0.3, 0.7}, net.getNodeValue("A"), EXACT);
            beliefs[code] = net.getNodeValue("C");
        }
        assertArrayEquals(beliefs[0], beliefs[1], EXACT);
    }

    @Test
    void aTypeChangeDropsSliceLikelihoodsADecisionCannotTake() {
        node("X", "x0", "x1");
        node("Y", "y0", "y1");
        net.setNodeTemporalType("X", PLATE);
        net.setNodeTemporalType("Y", PLATE);
        net.addArc("X", "Y");
        net.setSliceCount(3);
        net.setTemporalVirtualEvidence("X", 1, new double[] {0.2, 0.9});
        net.setNodeType("X", DECISION);
        assertFalse(net.isTemporalVirtualEvidence("X", 1));
        net.updateBeliefs();
    }

    @Test
    void polytreeOnAHybridNetworkAnswersAsCode0() {
        for (boolean observed : new boolean[] {true, false}) {
            double[][] results = new double[4][];
            for (int code : new int[] {0, 2}) {
                net.close();
                net = new Network();
                node("X", "x0", "x1");
                node("N3", "n0", "n1");
                net.addNode(EQUATION, "E");
                net.addArc("X", "N3");
                net.addArc("X", "E");
                net.setNodeDefinition("X", new double[] {0.5, 0.5});
                net.setNodeDefinition("N3", new double[] {0.5, 0.5, 0.5, 0.5});
                net.setNodeEquation("E", "E=X");
                net.setNodeEquationBounds("E", 0, 6);
                net.setNodeEquationDiscretization("E", new DiscretizationInterval[] {
                    new DiscretizationInterval("a", 2), new DiscretizationInterval("b", 4),
                    new DiscretizationInterval("c", 6)});
                net.setVirtualEvidence("N3", new double[] {0.3, 0.9});
                if (observed) {
                    net.setEvidence("X", 1);
                }
                net.setBayesianAlgorithm(code);
                net.updateBeliefs();
                results[code] = net.getNodeValue("N3");
                results[code + 1] = net.getNodeValue("E");
            }
            assertArrayEquals(new double[] {0.25, 0.75}, results[0], EXACT);
            assertArrayEquals(results[0], results[2], EXACT);
            assertArrayEquals(results[1], results[3], EXACT);
        }
    }
}
