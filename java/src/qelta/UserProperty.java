package qelta;

/**
 * One user property of a network or a node: a name and a value, both text.
 *
 * <p>Some names steer algorithms (for example relevance decomposition
 * thresholds); the others are kept and saved for the application.
 *
 * @param name the property's name, unique within its list
 * @param value the property's value
 */
public record UserProperty(String name, String value) {
}
