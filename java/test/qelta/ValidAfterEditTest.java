package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertFalse;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import org.junit.jupiter.api.Test;

/**
 * Right after an edit, and after an update of a target, every value marked valid equals the value
 * of the same network read back from its save, with the same evidence, and updated.
 */
class ValidAfterEditTest extends NetworkFixture {
    static final int DECISION = 17;
    static final int UTILITY = 8;
    static final int EQUATION = 4;
    static final int MAU = 520;
    static final int DEMORGAN = 82;
    static final int NOISY_MAX = 146;

    /** Identifiers of the nodes that index the value of h. */
    static List<String> indexingIds(Network n, int h) {
        List<String> ids = new ArrayList<>();
        for (int p : n.getValueIndexingParents(h)) {
            ids.add(n.getNodeId(p));
        }
        return ids;
    }

    /** The save read back, with the same observed and virtual evidence, updated. */
    Network fresh() {
        Network other = new Network();
        other.readString(net.writeString());
        other.setInfluenceDiagramAlgorithm(net.getInfluenceDiagramAlgorithm());
        other.clearAllTargets();
        for (int h : net.getAllNodes()) {
            String id = net.getNodeId(h);
            if (net.isRealEvidence(h)) {
                other.setEvidence(id, net.getEvidence(h));
            } else if (net.isVirtualEvidence(h)) {
                other.setVirtualEvidence(id, net.getVirtualEvidence(h));
            }
        }
        freshFailed = !update(other);
        return other;
    }

    /** Set when the fresh network's update failed: only evidence may then be valid. */
    boolean freshFailed;

    /** Updates n; false when the update fails (a solver refusing the diagram). */
    static boolean update(Network n) {
        try {
            n.updateBeliefs();
            return true;
        } catch (QELTAException e) {
            return false;
        }
    }

    /** Every valid value equals the fresh network's, in numbers and indexing parents. */
    void expectValidAsFresh(String where) {
        try (Network other = fresh()) {
            for (int h : net.getAllNodes()) {
                if (!net.isValueValid(h)) {
                    continue;
                }
                String id = net.getNodeId(h);
                if (freshFailed) {
                    assertTrue(net.isEvidence(h), where + ": " + id + " valid, no update succeeds");
                    continue;
                }
                int g = other.getNode(id);
                assertTrue(other.isValueValid(g), where + ": " + id + " valid, the fresh one not");
                assertEquals(indexingIds(other, g), indexingIds(net, h), where + ": " + id);
                assertArrayEquals(other.getNodeValue(g), net.getNodeValue(h), 1e-9, where + ": " + id);
            }
        }
    }

    /** The check right after the edit, then after updating only target. */
    void checkAfterEdit(String target, String where) {
        expectValidAsFresh(where + ", right after the edit");
        net.setTarget(target, true);
        update(net);
        expectValidAsFresh(where + ", after a targeted update");
        net.setTarget(target, false);
    }

    void reopen() {
        net.close();
        openNetwork();
    }

    @Test
    void evidenceAnEditImpliesReachesWhatLiesBeyond() {
        chain();
        net.setEvidence("A", 1);
        net.updateBeliefs();
        net.setNodeType("B", TRUTH_TABLE);
        assertTrue(net.isPropagatedEvidence(net.getNode("B")));
        checkAfterEdit("A", "B made a truth table");

        reopen();
        chain();
        net.setEvidence("A", 1);
        net.updateBeliefs();
        net.setNodeDefinition(net.getNode("B"), new double[] {0.6, 0.4, 0, 1});
        checkAfterEdit("A", "B made deterministic");

        reopen();
        chain();
        net.setEvidence("A", 1);
        net.setEvidence("B", 0);
        net.updateBeliefs();
        net.addOutcome(net.getNode("B"), "b2");
        checkAfterEdit("A", "outcome added to observed B");
        net.deleteOutcome(net.getNode("B"), 0);
        checkAfterEdit("A", "observed outcome of B deleted");
    }

    @Test
    void anArcRemovalThatImpliesAParent() {
        int b = node("B", "b0", "b1");
        int f = node("F", "f0", "f1");
        int l = node("L", "l0", "l1");
        int t = node("T", "t0", "t1");
        net.addArc(b, l);
        net.addArc(f, l);
        net.addArc(b, t);
        net.setNodeDefinition(b, new double[] {0.85, 0.15});
        net.setNodeDefinition(f, new double[] {0.95, 0.05});
        net.setNodeDefinition(t, new double[] {0.9, 0.1, 0.4, 0.6});
        net.setNodeDefinition(l, new double[] {0.365, 0.635, 0.55, 0.45, 0, 1, 0.05, 0.95});
        net.setEvidence(l, 0);
        net.updateBeliefs();
        net.deleteArc(f, l);
        checkAfterEdit("T", "arc F -> L deleted");
    }

    @Test
    void impliedEvidenceReachesAUtilityAndTheDecision() {
        chain();
        int d = node(DECISION, "D", "d0", "d1");
        int u = net.addNode(UTILITY, "U");
        net.addArc(net.getNode("B"), u);
        net.addArc(d, u);
        net.setNodeDefinition(u, new double[] {10, 0, 0, 10});
        net.setEvidence("A", 1);
        net.updateBeliefs();
        net.setNodeDefinition(net.getNode("B"), new double[] {0.6, 0.4, 0, 1});
        assertFalse(net.isValueValid(d));
        checkAfterEdit("D", "B made deterministic above U");
    }

    @Test
    void typeChangesThatTakeArcsOrEvidenceAway() {
        chain();
        net.setEvidence("B", 1);
        net.updateBeliefs();
        net.setNodeType("B", MAU);
        assertFalse(net.isValueValid("A"));
        checkAfterEdit("A", "observed B made a MAU");

        reopen();
        chain();
        net.setEvidence("C", 0);
        net.updateBeliefs();
        net.setNodeType("B", DECISION);
        assertFalse(net.isValueValid("A"));
        checkAfterEdit("A", "B above evidence made a decision");

        reopen();
        int a = node("A", "a0", "a1");
        int b = node("B", "b0", "b1", "b2");
        net.addArc(a, b);
        net.setNodeDefinition(a, new double[] {0.4, 0.6});
        net.setNodeDefinition(b, new double[] {0.1, 0.2, 0.7, 0.5, 0.3, 0.2});
        net.setEvidence(b, 2);
        net.updateBeliefs();
        net.setNodeType(b, DEMORGAN);
        assertFalse(net.isValueValid(a));
        checkAfterEdit("A", "observed B made a DeMorgan node");
    }

    @Test
    void reorderingANoisyMaxNodeChangesItsModel() {
        int a = node("A", "a0", "a1");
        int b = node(NOISY_MAX, "B", "b0", "b1");
        net.addArc(a, b);
        net.setNodeDefinition(a, new double[] {0.3, 0.7});
        net.setNodeDefinition(b, new double[] {0.8, 0.2, 0, 1, 0.5, 0.5});
        net.updateBeliefs();
        assertArrayEquals(new double[] {0.62, 0.38}, net.getNodeValue(b), 1e-9);
        net.setOutcomes(b, new String[] {"b1", "b0"}, new int[] {1, 0});
        assertFalse(net.isValueValid(b));
        checkAfterEdit("B", "noisy-MAX outcomes reordered");
    }

    /** X (0.2, 0.3, 0.5) -> E = 2*X + 1 with the given intervals -> C. */
    void equationChild(double[] boundaries, double[] childTable) {
        net.setRandSeed(5);
        int x = node("X", "x0", "x1", "x2");
        int e = net.addNode(EQUATION, "E");
        net.setNodeDefinition(x, new double[] {0.2, 0.3, 0.5});
        net.setNodeEquation(e, "E = 2*X + 1");
        net.setNodeEquationBounds(e, 0, boundaries[boundaries.length - 1]);
        DiscretizationInterval[] intervals = new DiscretizationInterval[boundaries.length];
        for (int i = 0; i < boundaries.length; i++) {
            intervals[i] = new DiscretizationInterval("e" + i, boundaries[i]);
        }
        net.setNodeEquationDiscretization(e, intervals);
        int c = node("C", "c0", "c1");
        net.addArc(e, c);
        net.setNodeDefinition(c, childTable);
    }

    @Test
    void anEquationChildReadsTheOutcomeIndex() {
        equationChild(new double[] {2, 4, 6}, new double[] {0.9, 0.1, 0.5, 0.5, 0.1, 0.9});
        net.setVirtualEvidence("X", new double[] {1, 1, 1});
        net.updateBeliefs();
        net.setOutcomes("X", new String[] {"x2", "x0", "x1"}, new int[] {2, 0, 1});
        assertFalse(net.isValueValid("E"));
        assertFalse(net.isValueValid("C"));
        checkAfterEdit("C", "equation parent reordered");

        reopen();
        equationChild(
                new double[] {2, 4, 6, 9}, new double[] {0.9, 0.1, 0.5, 0.5, 0.1, 0.9, 0.3, 0.7});
        net.setEvidence("X", 2);
        net.updateBeliefs();
        net.insertOutcome(net.getNode("X"), 0, "first");
        assertFalse(net.isValueValid("E"));
        checkAfterEdit("C", "outcome inserted before the observed one");
    }

    /** X (0.4, 0.6) with point values 0, 1 -> E = 2*X + 0.1 on [0, 3] -> C. */
    void pointValueParent() {
        net.setRandSeed(11);
        int x = node("X", "x0", "x1");
        net.setNodeDefinition(x, new double[] {0.4, 0.6});
        net.setPointValues(x, new double[] {0, 1});
        int e = net.addNode(EQUATION, "E");
        net.setNodeEquation(e, "E = 2*X + 0.1");
        net.setNodeEquationBounds(e, 0, 3);
        net.setNodeEquationDiscretization(e, new DiscretizationInterval[] {
            new DiscretizationInterval("low", 1), new DiscretizationInterval("high", 3)});
        int c = node("C", "c0", "c1");
        net.addArc(e, c);
        net.setNodeDefinition(c, new double[] {0.9, 0.1, 0.2, 0.8});
    }

    @Test
    void pointValuesAndIntervalsOfAnEquationParent() {
        for (int edit = 0; edit < 2; edit++) {
            if (edit > 0) {
                reopen();
            }
            pointValueParent();
            net.setEvidence("C", 0);
            net.updateBeliefs();
            if (edit == 0) {
                net.setPointValues("X", new double[] {0, 0.2});
            } else {
                net.setIntervals("X", new double[] {0, 0.1, 0.2}, false);
            }
            assertFalse(net.isValueValid("X"), "edit " + edit);
            checkAfterEdit("X", "numbers of X, edit " + edit);
            net.clearEvidence(net.getNode("C"));
            net.setEvidence("C", 1);
            checkAfterEdit("X", "C observed anew, edit " + edit);
        }
    }

    // -------- Influence diagrams: numbers and layout, or invalid

    /** Solves with each solver that takes the diagram, edits, checks. */
    void forBothSolvers(String what, String target, Runnable build, Runnable edit) {
        for (int solver = 0; solver < 2; solver++) {
            reopen();
            net.setInfluenceDiagramAlgorithm(solver);
            build.run();
            try {
                net.updateBeliefs();
            } catch (QELTAException e) {
                if (solver == 1) {
                    continue; // the second solver refuses some diagrams
                }
                throw e;
            }
            edit.run();
            checkAfterEdit(target, what + ", solver " + solver);
        }
    }

    /** Oil -> Test -> Drill, U(Oil, Drill). */
    void oilTestDrill() {
        int oil = node("Oil", "dry", "wet");
        int test = node("Test", "neg", "pos");
        int drill = node(DECISION, "Drill", "yes", "no");
        int u = net.addNode(UTILITY, "U");
        net.addArc(oil, test);
        net.addArc(test, drill);
        net.addArc(oil, u);
        net.addArc(drill, u);
        net.setNodeDefinition(oil, new double[] {0.3, 0.7});
        net.setNodeDefinition(test, new double[] {0.9, 0.1, 0.2, 0.8});
        net.setNodeDefinition(u, new double[] {100, 0, -40, 0});
    }

    @Test
    void diagramValuesFollowTablesAndEvidence() {
        forBothSolvers("table of an informational parent", "Oil", this::oilTestDrill, () -> {
            net.setNodeDefinition(net.getNode("Test"), new double[] {0.5, 0.5, 0.4, 0.6});
            assertFalse(net.isValueValid("Oil"));
        });
        forBothSolvers("evidence below a decision without utilities", "A", () -> {
            int d = node(DECISION, "D", "d0", "d1");
            int a = node("A", "a0", "a1");
            int e = node("E", "e0", "e1");
            net.addArc(d, a);
            net.addArc(d, e);
            net.setNodeDefinition(a, new double[] {0.9, 0.1, 0.2, 0.8});
            net.setNodeDefinition(e, new double[] {0.95, 0.05, 0.3, 0.7});
        }, () -> net.setEvidence("E", 1));
    }

    @Test
    void diagramValuesFollowReordersAndChoices() {
        forBothSolvers("informational parent reordered", "D", () -> {
            int x = node("X", "x0", "x1");
            int d = node(DECISION, "D", "d0", "d1");
            int u = net.addNode(UTILITY, "U");
            net.addArc(x, d);
            net.addArc(x, u);
            net.addArc(d, u);
            net.setNodeDefinition(x, new double[] {0.3, 0.7});
            net.setNodeDefinition(u, new double[] {10, 0, -5, 4});
        }, () -> net.setOutcomes("X", new String[] {"x1", "x0"}, new int[] {1, 0}));
        forBothSolvers("choices reordered", "U", () -> {
            int d = node(DECISION, "D", "Choice0", "Choice1");
            int u = net.addNode(UTILITY, "U");
            net.addArc(d, u);
            net.setNodeDefinition(u, new double[] {10, 2});
        }, () -> {
            net.setOutcomes("D", new String[] {"Choice1", "Choice0"}, new int[] {1, 0});
            assertFalse(net.isValueValid("U"));
        });
    }

    @Test
    void diagramValuesFollowStructureEdits() {
        forBothSolvers("the only utility made a chance node", "A", () -> {
            int d = node(DECISION, "D", "d0", "d1");
            int a = node("A", "a0", "a1");
            int u = net.addNode(UTILITY, "U");
            net.addArc(d, a);
            net.addArc(a, u);
            net.addArc(d, u);
            net.setNodeDefinition(a, new double[] {0.9, 0.1, 0.2, 0.8});
            net.setNodeDefinition(u, new double[] {10, 0, 3, 7});
        }, () -> net.setNodeType("U", CPT));
        forBothSolvers("an informational arc added", "B", () -> {
            int a = node("A", "a0", "a1");
            int b = node("B", "b0", "b1");
            int u = net.addNode(UTILITY, "U");
            node(DECISION, "D", "d0", "d1");
            net.addArc(a, b);
            net.addArc(a, u);
            net.setNodeDefinition(a, new double[] {0.35, 0.65});
            net.setNodeDefinition(b, new double[] {0.9, 0.1, 0.2, 0.8});
            net.setNodeDefinition(u, new double[] {1, 2});
        }, () -> net.addArc(net.getNode("A"), net.getNode("D")));
        forBothSolvers("a second utility deleted", "U1", () -> {
            int a = node("A", "a0", "a1");
            int u1 = net.addNode(UTILITY, "U1");
            int d = node(DECISION, "D", "d0", "d1");
            int u2 = net.addNode(UTILITY, "U2");
            net.addArc(a, u1);
            net.addArc(d, u2);
            net.setNodeDefinition(a, new double[] {0.35, 0.65});
            net.setNodeDefinition(u1, new double[] {1, 2});
            net.setNodeDefinition(u2, new double[] {0, 5});
        }, () -> net.deleteNode(net.getNode("U2")));
        forBothSolvers("a node of the oil wildcatter deleted", "Oil", () -> net.readFile(
                Path.of(System.getProperty("qelta.testdata", "tests/data"))
                        .resolve("decisions/oil_wildcatter.xvrn").toString()),
                () -> net.deleteNode(net.getNode("Test")));
    }

    @Test
    void observedEvidenceInADiagramIsAPointMassWithoutIndexingParents() {
        forBothSolvers("evidence on an indexed node", "U", () -> {
            int d = node(DECISION, "D", "d0", "d1");
            int e = node("E", "e0", "e1");
            int u = net.addNode(UTILITY, "U");
            net.addArc(d, e);
            net.addArc(e, u);
            net.addArc(d, u);
            net.setNodeDefinition(e, new double[] {0.95, 0.05, 0.3, 0.7});
            net.setNodeDefinition(u, new double[] {10, 0, 3, 7});
        }, () -> {
            net.setEvidence("E", 1);
            assertEquals(0, net.getValueIndexingParents("E").length);
            assertArrayEquals(new double[] {0, 1}, net.getNodeValue("E"), EXACT);
        });
    }
}
