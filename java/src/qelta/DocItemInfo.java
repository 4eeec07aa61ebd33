package qelta;

/**
 * One documentation item of a node or an outcome: a title and a path
 * (typically a file name or a URL) that the application interprets.
 *
 * @param title the item's title
 * @param path the item's path
 */
public record DocItemInfo(String title, String path) {
}
