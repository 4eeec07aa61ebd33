package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.awt.Rectangle;
import org.junit.jupiter.api.Test;

/** The submodel tree from Java: walking, creating, naming, moving and placing. */
class SubmodelsTest extends NetworkFixture {
    static final int MAIN = 32768;

    @Test
    void newNetworkHasOnlyTheMainSubmodel() {
        assertEquals(1, net.getSubmodelCount());
        assertEquals(MAIN, net.getMainSubmodel());
        assertEquals(MAIN, net.getFirstSubmodel());
        assertEquals(-1, net.getNextSubmodel(MAIN));
        assertEquals(-1, net.getNextSubmodel(12345));
        assertEquals(-8888, net.getSubmodelOfSubmodel(MAIN));
        assertEquals("Unnamed", net.getMainSubmodelId());
        assertEquals(MAIN, net.getSubmodel("Unnamed"));
    }

    @Test
    void treeIsBuiltWalkedAndReshaped() {
        int a = net.addSubmodel(MAIN, "A");
        int b = net.addSubmodel("A", "B");
        assertEquals(3, net.getSubmodelCount());
        assertEquals(a, net.getNextSubmodel(MAIN));
        assertEquals(b, net.getNextSubmodel(a));
        assertEquals(a, net.getSubmodelOfSubmodel("B"));
        net.setSubmodelOfSubmodel(MAIN, b);
        assertEquals(MAIN, net.getSubmodelOfSubmodel(b));
        net.setSubmodelOfSubmodel("B", "A");
        assertEquals(b, net.getSubmodelOfSubmodel("A"));
        engineFails("SetSubmodel", -2, () -> net.setSubmodelOfSubmodel(a, b));
        engineFails("SetSubmodel", -2, () -> net.setSubmodelOfSubmodel(a, MAIN));

        int n = node("N", "yes", "no");
        assertEquals(MAIN, net.getSubmodelOfNode(n));
        net.setSubmodelOfNode("A", "N");
        assertEquals(a, net.getSubmodelOfNode("N"));
        net.deleteSubmodel("A");
        assertEquals(b, net.getSubmodelOfNode(n));
        net.deleteSubmodel(b);
        assertEquals(MAIN, net.getSubmodelOfNode(n));
        assertEquals(1, net.getSubmodelCount());
    }

    @Test
    void namesDescriptionsAndPositions() {
        int a = net.addSubmodel(MAIN, "A");
        net.setSubmodelName(a, "First");
        net.setSubmodelDescrpition("A", "\uD83D\uDE00");
        assertEquals("First", net.getSubmodelName("A"));
        assertEquals("\uD83D\uDE00", net.getSubmodelDescription(a));
        net.setSubmodelId(a, "Renamed");
        assertEquals("Renamed", net.getSubmodelId(a));
        net.setSubmodelPosition(a, 10, 20, 5, 7);
        assertEquals(new Rectangle(10, 20, 5, 7), net.getSubmodelPosition("Renamed"));
        net.setSubmodelPosition("Renamed", -20, 5, 1, Integer.MAX_VALUE);
        assertEquals(new Rectangle(-20, 5, 1, Integer.MAX_VALUE), net.getSubmodelPosition(a));
    }

    @Test
    void bareSlotIsKeptAsGivenAndWrittenInsideItsSubmodel() throws Exception {
        int a = net.addSubmodel(MAIN, "A");
        int n = node("N", "yes", "no");
        net.setSubmodelOfNode(a & 0x7FFF, n);
        assertEquals(a & 0x7FFF, net.getSubmodelOfNode(n));
        try (Network copy = new Network()) {
            copy.readString(net.writeString());
            assertEquals(copy.getSubmodel("A"), copy.getSubmodelOfNode("N") | 0x8000);
        }
    }

    @Test
    void nodeAndSubmodelIdentifiersShareOneNamespace() {
        int a = net.addSubmodel(MAIN, "A");
        net.addSubmodel(MAIN, "B");
        node("N", "yes", "no");
        engineFails("SetId", -32, () -> net.setSubmodelId(a, "N"));
        engineFails("SetId", -32, () -> net.setSubmodelId(a, "B"));
        engineFails("SetId", -32, () -> net.setId("N"));
        engineFails("SetId", -32, () -> net.setId("A"));
        assertEquals("A", net.getSubmodelId(a));
        assertEquals("Unnamed", net.getId());
        net.setSubmodelId(a, "A");
        net.setId("Unnamed");
        net.setId("Net");
        assertEquals("Net", net.getMainSubmodelId());
        engineFails("CreateSubmodel", -32, () -> net.addSubmodel(MAIN, "N"));
        engineFails("CreateSubmodel", -2, () -> net.addSubmodel(MAIN, "A"));
    }

    @Test
    void badArgumentsAreRefusedInOrder() {
        int n = node("N", "yes", "no");
        refusedAll("Invalid submodel handle: 5",
                () -> net.deleteSubmodel(5), () -> net.setSubmodelName(5, null),
                () -> net.setSubmodelOfNode(5, n), () -> net.setSubmodelOfSubmodel(MAIN, 5));
        refusedAll("Invalid submodel id: 'x'",
                () -> net.getSubmodel("x"), () -> net.addSubmodel("x", "y"),
                () -> net.setSubmodelOfNode("x", "N"), () -> net.setSubmodelOfSubmodel("x", "Unnamed"));
        refused("Invalid node handle: 9", () -> net.setSubmodelOfNode(5, 9));
        refused("Invalid submodel id: 'y'", () -> net.setSubmodelOfSubmodel("x", "y"));
        refused("Unexpected null Java string.", () -> net.setSubmodelDescription(MAIN, null));
        engineFails("DeleteSubmodel", -2, () -> net.deleteSubmodel(MAIN));
        assertNull(net.getSubmodelDescription(MAIN));
        assertEquals(1, net.getSubmodelCount());
    }
}
