package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** Creating, finding, walking, renaming and deleting nodes. */
class NodesTest extends NetworkFixture {
    @Test
    void addedNodesKeepTheirIdentifiersAndHandles() {
        assertEquals(0, net.addNode(CPT, "Rain"));
        assertEquals(1, net.addNode(TRUTH_TABLE, "Sprinkler"));
        assertEquals(2, net.getNodeCount());
        assertEquals("Rain", net.getNodeId(0));
        assertEquals(1, net.getNode("Sprinkler"));
        assertEquals(CPT, net.getNodeType(0));
        assertEquals(TRUTH_TABLE, net.getNodeType("Sprinkler"));
        assertArrayEquals(new String[] {"Rain", "Sprinkler"}, net.getAllNodeIds());
    }

    @Test
    void nodesWithoutIdentifierGetOneFromTheNetwork() {
        int a = net.addNode(CPT);
        int b = net.addNode(CPT, null);
        String idA = net.getNodeId(a);
        String idB = net.getNodeId(b);
        assertTrue(idA.startsWith("Node"), idA);
        assertTrue(!idA.equals(idB), idA + " twice");
        assertEquals(a, net.getNode(idA));
        assertEquals(b, net.getNode(idB));
    }

    @Test
    void addNodeRefusesUnknownTypesBadAndDuplicateIdentifiers() {
        refusedCode("type", "3", () -> net.addNode(3, "x"));
        refusedCode("type", "3", () -> net.addNode(3));
        refused("Identifier '1st' is invalid - it should start with a letter and contain only"
                + " letters, digits and underscores", () -> net.addNode(CPT, "1st"));
        refused("Identifier '' is invalid - it should start with a letter and contain only"
                + " letters, digits and underscores", () -> net.addNode(CPT, ""));
        net.addNode(CPT, "A");
        engineFails("AddNode", -2, "\nIdentifier 'A' is already held by a node",
                () -> net.addNode(CPT, "A"));
        assertEquals(1, net.getNodeCount());
    }

    @Test
    void walkingAndListingVisitLiveNodesInHandleOrder() {
        assertEquals(-1, net.getFirstNode());
        assertEquals(0, net.getAllNodeIds().length);
        for (int i = 0; i < 300; i++) {
            assertEquals(i, net.addNode(CPT, "n" + i));
        }
        net.deleteNode("n1");
        net.deleteNode(3);
        StringBuilder walked = new StringBuilder();
        for (int h = net.getFirstNode(); h < 5; h = net.getNextNode(h)) {
            walked.append(net.getNodeId(h)).append(' ');
        }
        assertEquals("n0 n2 n4 ", walked.toString());
        assertEquals(-1, net.getNextNode(299));
        assertEquals(-1, net.getNextNode(-5));
        assertEquals(298, net.getAllNodes().length);
        assertEquals(299, net.getAllNodes()[297]);
        assertEquals("n299", net.getAllNodeIds()[297]);
        // A freed slot is taken by the next node; other handles stay.
        assertEquals(1, net.addNode(CPT, "again"));
        assertEquals(2, net.getNode("n2"));
    }

    @Test
    void badHandlesAreRefusedByEveryHandleForm() {
        net.addNode(CPT, "a");
        net.addNode(CPT, "b");
        net.deleteNode(1);
        for (int bad : new int[] {-1, 2, 1, Integer.MIN_VALUE}) {
            String message = "Invalid node handle: " + bad;
            refusedAll(message,
                    () -> net.getNodeType(bad), () -> net.setNodeType(bad, CPT),
                    () -> net.deleteNode(bad), () -> net.getNodeId(bad),
                    () -> net.setNodeId(bad, "z"), () -> net.getNodeName(bad),
                    () -> net.setNodeName(bad, "z"), () -> net.getNodeDescription(bad),
                    () -> net.setNodeDescription(bad, "z"));
        }
        assertEquals(1, net.getNodeCount());
    }

    @Test
    void unknownAndNullIdentifiersAreRefusedByEveryIdentifierForm() {
        net.addNode(CPT, "a");
        String unknown = "Invalid node identifier: 'nope'";
        String none = "Invalid node identifier: null";
        refusedAll(unknown, () -> net.getNode("nope"), () -> net.getNodeType("nope"),
                () -> net.setNodeType("nope", CPT), () -> net.deleteNode("nope"),
                () -> net.setNodeId("nope", "z"), () -> net.getNodeName("nope"),
                () -> net.setNodeName("nope", "z"), () -> net.getNodeDescription("nope"),
                () -> net.setNodeDescription("nope", "z"));
        refusedAll(none, () -> net.getNode(null), () -> net.getNodeType((String) null),
                () -> net.deleteNode((String) null), () -> net.setNodeName((String) null, "z"));
        assertEquals(1, net.getNodeCount());
    }

    @Test
    void nodeTypeChangesByHandleAndByIdentifierAgree() {
        net.addNode(CPT, "a");
        net.addNode(CPT, "b");
        net.setNodeType("a", TRUTH_TABLE);
        net.setNodeType(1, TRUTH_TABLE);
        assertEquals(TRUTH_TABLE, net.getNodeType(0));
        assertEquals(TRUTH_TABLE, net.getNodeType("b"));
        refusedCode("type", "3", () -> net.setNodeType(0, 3));
        refusedCode("type", "3", () -> net.setNodeType("b", 3));
        assertEquals(TRUTH_TABLE, net.getNodeType("a"));
    }

    @Test
    void renamingChecksTheNewIdentifierAndKeepsItUnique() {
        net.addNode(CPT, "a");
        net.addNode(CPT, "b");
        net.setNodeId(0, "first");
        net.setNodeId("b", "second");
        assertEquals(0, net.getNode("first"));
        assertEquals("second", net.getNodeId(1));
        refused("Invalid node identifier: 'a'", () -> net.getNode("a"));

        // Another node's identifier is refused by the network, not ignored.
        engineFails("SetId", -32, "\nIdentifier 'second' is already held by a node",
                () -> net.setNodeId(0, "second"));
        assertEquals("first", net.getNodeId(0));
        assertEquals("second", net.getNodeId(1));

        refused("Identifier '9lives' is invalid - it should start with a letter and contain"
                + " only letters, digits and underscores", () -> net.setNodeId(0, "9lives"));
        refused("Unexpected null Java string.", () -> net.setNodeId(0, null));
        // The node is checked before the new identifier.
        refused("Invalid node handle: 7", () -> net.setNodeId(7, null));
        assertEquals("first", net.getNodeId(0));
    }

    @Test
    void identifiersBeyondTheBasicPlaneRoundTrip() {
        String id = "G\u00e4ste_\uD834\uDD1E";  // a-umlaut and U+1D11E as a surrogate pair
        int h = net.addNode(CPT, id);
        assertEquals(id, net.getNodeId(h));
        assertEquals(h, net.getNode(id));
        net.setNodeName(h, "\uD83D\uDE00 name");
        assertEquals("\uD83D\uDE00 name", net.getNodeName(id));
        refused("Node name is not valid UTF-16: unpaired surrogate U+D800 at index 5",
                () -> net.setNodeName(h, "lone \uD800 surrogate"));
        refused("Node identifier is not valid UTF-16: unpaired surrogate U+DC00 at index 1",
                () -> net.getNode("x\uDC00"));
    }

    @Test
    void namesAndDescriptions() {
        int h = net.addNode(CPT, "a");
        assertEquals("a", net.getNodeName(h));
        assertNull(net.getNodeDescription(h));
        assertNull(net.getNodeDescription("a"));

        net.setNodeName(h, "Weather today");
        net.setNodeDescription("a", "Line one\nline two");
        assertEquals("Weather today", net.getNodeName("a"));
        assertEquals("Line one\nline two", net.getNodeDescription(h));

        net.setNodeName("a", "");
        net.setNodeDescription(h, "");
        assertEquals("", net.getNodeName(h));
        assertEquals("", net.getNodeDescription("a"));

        refused("Unexpected null Java string.", () -> net.setNodeName(h, null));
        refused("Unexpected null Java string.", () -> net.setNodeDescription("a", null));
        assertEquals("", net.getNodeName(h));
    }
}
