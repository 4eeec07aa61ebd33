package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;

import java.awt.Rectangle;
import org.junit.jupiter.api.Test;

/** Text boxes of a submodel's drawing. */
class TextBoxesTest extends NetworkFixture {
    static final int MAIN = 32768;

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
}
