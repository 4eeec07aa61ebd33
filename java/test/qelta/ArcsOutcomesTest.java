package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;
import static org.junit.jupiter.api.Assumptions.assumeTrue;

import org.junit.jupiter.api.Test;

/** Arcs between nodes and the outcome lists of nodes. */
class ArcsOutcomesTest extends NetworkFixture {
    @Test
    void arcsAreAddedAndRemovedInBothForms() {
        int a = node("a", "yes", "no");
        int b = node("b", "yes", "no");
        int c = node("c", "yes", "no");
        net.addArc(a, b);
        net.addArc("b", "c");
        net.deleteArc("a", "b");
        net.deleteArc(b, c);
        // Removed arcs are gone: removing them again fails.
        engineFails("RemoveArc", -2, "\nThere is no arc from node [a] to node [b]",
                () -> net.deleteArc(a, b));
        engineFails("RemoveArc", -2, "\nThere is no arc from node [b] to node [c]",
                () -> net.deleteArc("b", "c"));
        net.addArc(a, b);
    }

    @Test
    void aTypeWithoutOutcomesKeepsNoCostArcs() {
        // Equation, utility and multi-attribute utility nodes have no outcomes.
        for (int type : new int[] {4, 8, 520}) {
            for (int h = 0; h < 3; h++) {
                try (Network n = new Network(); Network back = new Network()) {
                    for (String id : new String[] {"a", "b", "c"}) {
                        n.setOutcomes(n.addNode(CPT, id), new String[] {"yes", "no"},
                                new int[] {-1, -1});
                    }
                    n.addCostArc("a", "b");
                    n.addCostArc("a", "c");
                    n.addCostArc("b", "c");
                    n.setNodeCost("c", new double[] {1, 2, 3, 4});
                    n.setNodeType(h, type);
                    assertEquals(0, n.getCostParents(h).length + n.getCostChildren(h).length);
                    for (int other : n.getAllNodes()) {
                        int size = 1;
                        for (int parent : n.getCostParents(other)) {
                            assertTrue(parent != h);
                            size *= n.getOutcomeCount(parent);
                        }
                        assertEquals(size, n.getNodeCost(other).length, type + " " + h);
                    }
                    String text = n.writeString();
                    back.readString(text);
                    assertEquals(text, back.writeString());
                }
            }
        }
    }

    @Test
    void aCycleIsRefusedNamingBothNodesAndChangesNothing() {
        int a = node("a", "yes", "no");
        int b = node("b", "yes", "no");
        int c = node("c", "yes", "no");
        net.addArc(a, b);
        net.addArc(b, c);
        String cycle = "\nAn arc from node [c] to node [a] would close a cycle: [a] already leads"
                + " to [c]";
        engineFails("AddArc", -11, cycle, () -> net.addArc(c, a));
        engineFails("AddArc", -11, cycle, () -> net.addArc("c", "a"));
        engineFails("RemoveArc", -2, "\nThere is no arc from node [c] to node [a]",
                () -> net.deleteArc(c, a));
        engineFails("AddArc", -2, "\nNodes [a] and [b] are already joined by an arc",
                () -> net.addArc(a, b));
        engineFails("AddArc", -2, "\nNode [a] cannot be its own parent", () -> net.addArc(a, a));
    }

    @Test
    void aRefusalByTheChildCarriesTheLoggedReason() {
        // The child's table would outgrow what a table can hold.
        int a = wideNode("a", 1300);
        int b = wideNode("b", 1300);
        int c = wideNode("c", 1300);
        net.addArc(a, c);
        QELTAException e = fails(() -> net.addArc(b, c));
        assertEquals(-42, e.getErrorCode());
        assertEquals("QELTA error -42 in function AddArc. \nArc rejected by child node",
                e.getMessage());
        // The log is cleared per call: the next refusal carries only its own reason.
        engineFails("AddArc", -2, "\nNodes [a] and [c] are already joined by an arc",
                () -> net.addArc(a, c));
        net.deleteArc(a, c);
        net.addArc(b, c);
    }

    @Test
    void arcEndsAreCheckedParentFirstAndIdentifiersChildFirst() {
        node("a", "yes", "no");
        refused("Invalid node handle: 5", () -> net.addArc(5, 6));
        refused("Invalid node handle: 6", () -> net.addArc(0, 6));
        refused("Invalid node handle: -1", () -> net.deleteArc(-1, 0));
        refused("Invalid node handle: 9", () -> net.deleteArc(0, 9));
        refused("Invalid node identifier: 'kid'", () -> net.addArc("dad", "kid"));
        refused("Invalid node identifier: 'dad'", () -> net.addArc("dad", "a"));
        refused("Invalid node identifier: 'kid'", () -> net.deleteArc("dad", "kid"));
        refused("Invalid node identifier: null", () -> net.deleteArc("a", null));
    }

    @Test
    void outcomesAreAddedInsertedRenamedAndDeleted() {
        int h = node("w", "sun", "rain");
        net.addOutcome(h, "snow");
        net.insertOutcome("w", 0, "fog");
        net.setOutcomeId(h, 1, "sunny");
        net.setOutcomeId("w", 2, "rainy");
        net.addOutcome("w", "hail");
        assertArrayEquals(new String[] {"fog", "sunny", "rainy", "snow", "hail"},
                net.getOutcomeIds(h));
        net.deleteOutcome(h, "fog");
        net.deleteOutcome("w", "snow");
        net.deleteOutcome(h, 2);
        assertArrayEquals(new String[] {"sunny", "rainy"}, net.getOutcomeIds(h));
        assertEquals(2, net.getOutcomeCount("w"));
    }

    @Test
    void outcomeIndicesAndIdentifiersAreChecked() {
        int h = node("w", "sun", "rain");
        String message = "Invalid outcome index 2 for node 'w', valid indices are 0..1";
        refusedAll(message,
                () -> net.deleteOutcome(h, 2), () -> net.deleteOutcome("w", 2),
                () -> net.setOutcomeId(h, 2, "x"));
        refused("Invalid outcome index -1 for node 'w', valid indices are 0..1",
                () -> net.setOutcomeId("w", -1, "x"));
        refused("Invalid outcome identifier 'fog' for node 'w'",
                () -> net.deleteOutcome("w", "fog"));
        refused("Invalid outcome identifier: null", () -> net.deleteOutcome(h, (String) null));
        // The outcome identifier is tested before the node.
        refused("Invalid outcome identifier: null", () -> net.deleteOutcome(9, (String) null));
        refused("Invalid node handle: 9", () -> net.deleteOutcome(9, "sun"));
        refused("Invalid node identifier: 'q'", () -> net.deleteOutcome("q", 0));
        refusedAll("Unexpected null Java string.",
                () -> net.addOutcome(h, null), () -> net.insertOutcome(h, 0, null),
                () -> net.setOutcomeId(h, 0, null));
        assertEquals(2, net.getOutcomeCount(h));
    }

    @Test
    void theDefinitionRefusesBadOutcomeEdits() {
        int h = node("w", "sun", "rain");
        engineFails("RenameOutcome", -2,
                "\nOutcome identifier '1st' is invalid - it should start with a letter and"
                        + " contain only letters, digits and underscores",
                () -> net.setOutcomeId(h, 0, "1st"));
        engineFails("InsertOutcome", -2, "\nPosition 3 is outside 0 to 2, the places of node [w]",
                () -> net.insertOutcome(h, 3, "fog"));
        engineFails("InsertOutcome", -2, "\nPosition -1 is outside 0 to 2, the places of node [w]",
                () -> net.insertOutcome(h, -1, "fog"));
        // A node keeps at least two outcomes.
        engineFails("RemoveOutcome", -2,
                "\nNode [w] keeps at least two outcomes; add one before deleting this one",
                () -> net.deleteOutcome(h, 0));
        assertArrayEquals(new String[] {"sun", "rain"}, net.getOutcomeIds(h));
    }

    @Test
    void setOutcomesMapsNewOutcomesToOldOnesAfterCheckingItsArrays() {
        int h = node("w", "sun", "rain", "snow");
        refused("Identifier '2nd' is invalid - it should start with a letter and contain only"
                + " letters, digits and underscores",
                () -> net.setOutcomes(h, new String[] {"first", "2nd"}, new int[] {0, 1}));
        refused("Unexpected null Java string.",
                () -> net.setOutcomes(h, new String[] {"first", null}, new int[] {0, 1}));
        refused("Invalid outcome mapping array size for node 'w': expected 3 and got 2",
                () -> net.setOutcomes(h, new String[] {"a", "b", "c"}, new int[] {0, 1}));
        refused("Unexpected null Java array.", () -> net.setOutcomes(h, null, new int[] {0}));
        refused("Unexpected null Java array.", () -> net.setOutcomes(h, new String[] {"a"}, null));
        refused("Invalid node handle: 4", () -> net.setOutcomes(4, new String[] {"a"}, null));
        engineFails("ChangeOrderOfOutcomesWithAddAndRemove", -2,
                "\nNode [w] keeps at least two outcomes, not 1",
                () -> net.setOutcomes("w", new String[] {"only"}, new int[] {0}));
        assertArrayEquals(new String[] {"sun", "rain", "snow"}, net.getOutcomeIds(h));
        // Keep rain and sun in swapped order, drop snow, add fog.
        net.setOutcomes("w", new String[] {"wet", "dry", "fog"}, new int[] {1, 0, -1});
        assertArrayEquals(new String[] {"wet", "dry", "fog"}, net.getOutcomeIds(h));
    }

    @Test
    void nodesWithoutOutcomesAnswerTheEngineStatus() {
        int utility = net.addNode(8, "u");
        assertEquals(-51, net.getOutcomeCount(utility));
        assertEquals(-51, net.getOutcomeCount("u"));
        engineFails("AddOutcome", -51, "\nNode [u] (NodeType.UTILITY) has no outcomes",
                () -> net.addOutcome(utility, "x"));
        refusedAll("Invalid outcome index 0 for node 'u', valid indices are 0..-1",
                () -> net.deleteOutcome(utility, 0), () -> net.setEvidence("u", 0));
        refused("NULL array returned from GetOutcomesNames", () -> net.getOutcomeIds(utility));
        // The methods for outcome numbers name the definition's type.
        String kind = "Node u has invalid definition type: TABLE";
        refusedAll(kind, () -> net.hasOutcomeIds(utility), () -> net.hasPointValues("u"),
                () -> net.setPointValues(utility, new double[] {1}), () -> net.getIntervals("u"),
                () -> net.removeIntervals(utility));
    }
}
