package qelta;

import java.awt.Rectangle;

/**
 * A free caption on the drawing of a submodel. It has no effect on inference.
 *
 * @param text the caption
 * @param position where the caption is drawn: top-left corner and size
 */
public record TextBox(String text, Rectangle position) {
}
