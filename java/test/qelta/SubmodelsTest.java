package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNull;

import java.awt.Rectangle;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.List;
import java.util.Map;
import org.junit.jupiter.api.Test;
import org.junit.jupiter.api.io.TempDir;

/** The submodel tree from Java: walking, creating, naming, moving, placing and text boxes. */
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
        engineFails("SetSubmodel", -2,
                "\nSubmodel [B] cannot move into submodel [A], which lies within it",
                () -> net.setSubmodelOfSubmodel(a, b));
        engineFails("SetSubmodel", -2, "\nThe main submodel lies within no other",
                () -> net.setSubmodelOfSubmodel(a, MAIN));

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
        engineFails("SetId", -32, "\nIdentifier 'N' is already held by a node",
                () -> net.setSubmodelId(a, "N"));
        engineFails("SetId", -32, "\nIdentifier 'B' is already held by a submodel",
                () -> net.setSubmodelId(a, "B"));
        engineFails("SetId", -32, "\nIdentifier 'N' is already held by a node",
                () -> net.setId("N"));
        engineFails("SetId", -32, "\nIdentifier 'A' is already held by a submodel",
                () -> net.setId("A"));
        assertEquals("A", net.getSubmodelId(a));
        assertEquals("Unnamed", net.getId());
        net.setSubmodelId(a, "A");
        net.setId("Unnamed");
        net.setId("Net");
        assertEquals("Net", net.getMainSubmodelId());
        engineFails("CreateSubmodel", -32, "\nIdentifier 'N' is already held by a node",
                () -> net.addSubmodel(MAIN, "N"));
        engineFails("CreateSubmodel", -2, "\nIdentifier 'A' is already held by a submodel",
                () -> net.addSubmodel(MAIN, "A"));
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
        engineFails("DeleteSubmodel", -2, "\nThe main submodel cannot be deleted",
                () -> net.deleteSubmodel(MAIN));
        assertNull(net.getSubmodelDescription(MAIN));
        assertEquals(1, net.getSubmodelCount());
    }

    static TextBox box(String text, int x, int y, int w, int h) {
        return new TextBox(text, new Rectangle(x, y, w, h));
    }

    @Test
    void boxesAreAddedReplacedAndDeletedInOrder() {
        TextBox c = box("C \uD83D\uDE00", Integer.MIN_VALUE, 0, -7, Integer.MAX_VALUE);
        net.addTextBox(MAIN, box("A", 10, 20, 101, 51));
        net.addTextBox("Unnamed", box("B", -3, -4, 0, 1));
        net.addTextBox(MAIN, c);
        net.deleteTextBox(MAIN, 1);
        assertEquals(2, net.getTextBoxCount("Unnamed"));
        assertEquals(box("A", 10, 20, 101, 51), net.getTextBox("Unnamed", 0));
        assertEquals(c, net.getTextBox(MAIN, 1));
        net.setTextBox("Unnamed", 0, box("D", 1, 2, 3, 4));
        assertEquals(box("D", 1, 2, 3, 4), net.getTextBox(MAIN, 0));
        int a = net.addSubmodel(MAIN, "A");
        net.addTextBox("A", box("inner", 0, 0, 5, 5));
        assertEquals(1, net.getTextBoxCount(a));
        assertEquals(2, net.getTextBoxCount(MAIN));
    }

    @Test
    void badIndicesAndBoxesAreRefusedWithoutChange() {
        net.addTextBox(MAIN, box("A", 1, 1, 1, 1));
        refused("Invalid textbox index: 1", () -> net.getTextBox(MAIN, 1));
        refused("Negative textbox index", () -> net.deleteTextBox("Unnamed", -1));
        refused("Invalid submodel handle: 5", () -> net.setTextBox(5, 0, null));
        refused("Invalid submodel id: 'x'", () -> net.addTextBox("x", null));
        refused("Text box can't be null", () -> net.setTextBox(MAIN, 0, null));
        refused("Unexpected null Java string.", () -> net.setTextBox(MAIN, 0, box(null, 9, 9, 9, 9)));
        refused("Text box position can't be null", () -> net.addTextBox(MAIN, new TextBox("B", null)));
        assertEquals(1, net.getTextBoxCount(MAIN));
        assertEquals(box("A", 1, 1, 1, 1), net.getTextBox(MAIN, 0));
    }

    /** Deep trees ran the engine out of memory (and aborted it) when written. */
    @Test
    void deepTreesAreRefusedOrWrittenInAChildJvm(@TempDir Path dir) throws Exception {
        String output = ChildJvm.run(DeepTreeChild.class, Map.of(),
                dir.resolve("deep.vrn").toString());
        assertEquals(List.of("OK"), output.lines().toList(), output);
    }

    /** Child process: a 60,000 deep text file read, then a tree one past the limit written. */
    public static final class DeepTreeChild {
        static final int LIMIT = 4088;

        static void check(boolean ok, Object what) {
            if (!ok) throw new AssertionError(what);
        }

        static String refusal(Network n, String text, boolean file) {
            try {
                if (file) n.readFile(text); else n.readString(text);
                return "read";
            } catch (QELTAException e) {
                return e.getErrorCode() + " " + e.getMessage();
            }
        }

        public static void main(String[] args) throws Exception {
            StringBuilder text = new StringBuilder("net N\n{\n");
            for (int k = 1; k <= 60000; ++k) {
                text.append(" submodel S").append(k).append(" { ");
                if (k > 1) text.append("PARENT = S").append(k - 1).append("; ");
                text.append("};\n");
            }
            Files.writeString(Path.of(args[0]), text.append("};\n"));
            try (Network n = new Network(); Network past = new Network()) {
                n.addNode(18, "keep");
                String message = refusal(n, args[0], true);
                check(message.startsWith("-103 ") && message.contains("nested too deeply")
                        && n.getSubmodelCount() == 1 && n.getNode("keep") == 0, message);
                int parent = n.getMainSubmodel();
                for (int k = 0; k < LIMIT; ++k) parent = n.addSubmodel(parent, "S" + k);
                String written = n.writeString();
                check(written.length() <= LIMIT * 1000, written.length());
                past.readString(written);
                check(past.getSubmodelCount() == LIMIT + 1, past.getSubmodelCount());
                n.addSubmodel(parent, "S" + LIMIT);
                try {
                    n.writeString();
                    check(false, "a tree past the limit was written");
                } catch (QELTAException e) {
                    check(e.getMessage().contains("Submodel 'S" + LIMIT + "' nested too deeply"),
                            e.getMessage());
                }
                System.out.println("OK");
            } catch (Throwable e) {
                System.out.println("FAIL " + e.getMessage());
            }
        }
    }
}
