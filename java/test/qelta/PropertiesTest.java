package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** User properties, documentation of nodes and outcomes, and user-defined functions. */
class PropertiesTest extends NetworkFixture {
    static UserProperty[] props(String... pairs) {
        UserProperty[] out = new UserProperty[pairs.length / 2];
        for (int i = 0; i < out.length; i++) {
            out[i] = new UserProperty(pairs[2 * i], pairs[2 * i + 1]);
        }
        return out;
    }

    static DocItemInfo[] docs(String... pairs) {
        DocItemInfo[] out = new DocItemInfo[pairs.length / 2];
        for (int i = 0; i < out.length; i++) {
            out[i] = new DocItemInfo(pairs[2 * i], pairs[2 * i + 1]);
        }
        return out;
    }

    @Test
    void propertiesAreReplacedWholeOrNotAtAll() {
        int h = node("A", "yes", "no");
        net.setUserProperties(props("z", "1", "a", "2"));
        net.setUserProperties(props("b", ""));
        assertArrayEquals(props("b", ""), net.getUserProperties());
        net.setNodeUserProperties(h, props("p", "v", "q", "\uD83D\uDE00"));
        assertArrayEquals(props("p", "v", "q", "\uD83D\uDE00"), net.getNodeUserProperties("A"));
        refused("Duplicate property name: p",
                () -> net.setNodeUserProperties(h, props("p", "1", "p", "2")));
        refused("Properties array element name can't be null (index 1)",
                () -> net.setNodeUserProperties("A", new UserProperty[] {props("x", "1")[0], null}));
        refused("Invalid node handle: 3", () -> net.setNodeUserProperties(3, null));
        assertArrayEquals(props("p", "v", "q", "\uD83D\uDE00"), net.getNodeUserProperties(h));
        net.setNodeUserProperties("A", new UserProperty[0]);
        assertEquals(0, net.getNodeUserProperties(h).length);
        net.setUserProperties(null);
        assertEquals(0, net.getUserProperties().length);
    }

    @Test
    void documentationOfNodesAndOutcomes() {
        int h = node("A", "yes", "no");
        net.setNodeDocumentation(h, docs("t1", "p1", "t2", "p2"));
        DocItemInfo[] third = {docs("a", "b")[0], docs("c", "d")[0], null};
        refused("Documentation array element name can't be null (index 2)",
                () -> net.setNodeDocumentation("A", third));
        assertArrayEquals(docs("t1", "p1", "t2", "p2"), net.getNodeDocumentation("A"));
        net.setNodeDocumentation("A", null);
        assertEquals(0, net.getNodeDocumentation(h).length);

        assertEquals(0, net.getOutcomeDocumentation(h, 1).length);
        DocItemInfo[] two = docs("t", "p", "u", "q");
        net.setOutcomeDocumentation(h, 1, two);
        assertArrayEquals(two, net.getOutcomeDocumentation("A", 1));
        assertArrayEquals(two, net.getOutcomeDocumentation(h, "no"));
        assertArrayEquals(two, net.getOutcomeDocumentation("A", "no"));
        net.setOutcomeDocumentation("A", 0, docs("x", "y"));
        net.setOutcomeDocumentation("A", "no", new DocItemInfo[0]);
        assertArrayEquals(docs("x", "y"), net.getOutcomeDocumentation(h, "yes"));
        assertEquals(0, net.getOutcomeDocumentation(h, 1).length);
        refused("Unexpected null Java string.",
                () -> net.setOutcomeDocumentation(h, 0, new DocItemInfo[] {new DocItemInfo("t", null)}));
        assertArrayEquals(docs("x", "y"), net.getOutcomeDocumentation(h, 0));
        refused("Invalid outcome index 2 for node 'A', valid indices are 0..1",
                () -> net.getOutcomeDocumentation(h, 2));
        refused("Invalid outcome identifier 'maybe' for node 'A'",
                () -> net.setOutcomeDocumentation(h, "maybe", null));
        refused("Invalid outcome identifier: null", () -> net.getOutcomeDocumentation(7, (String) null));
    }

    @Test
    void definitionsComeBackInTheWritersForm() {
        assertArrayEquals(new String[0], net.getExtFunctions());
        net.setExtFunctions(new String[] {"Sq2(a, b) = a*a + b*b", "r(m) = Normal(m, 1)"});
        assertArrayEquals(new String[] {"Sq2(a,b)=a*a+b*b", "r(m)=Normal(m,1)"}, net.getExtFunctions());
        net.setExtFunctions(new String[0]);
        assertArrayEquals(new String[0], net.getExtFunctions());
    }

    @Test
    void badListsAreRefusedAndTheOldOneStays() {
        net.setExtFunctions(new String[] {"f(x) = x + 1"});
        refused("Function definition array cannot be null", () -> net.setExtFunctions(null));
        refused("Unexpected null Java string.", () -> net.setExtFunctions(new String[] {"g(y)=y", null}));
        QELTAException e = fails(() -> net.setExtFunctions(new String[] {"g(y) = y", "h(y) = y + z"}));
        assertEquals(-4, e.getErrorCode());
        assertEquals("QELTA error -4 in function SetExtFunctions. Error in function #1 at position 11: "
                + "z: not a function parameter", e.getMessage());
        assertArrayEquals(new String[] {"f(x)=x+1"}, net.getExtFunctions());
    }

    @Test
    void documentsCarryFunctionsAndRefuseBadOnes() {
        String good = "<?xml version=\"1.0\"?>\n<qelta version=\"1.0\" id=\"N\">\n<functions>\n"
                + "<function>f(x) = 2 * x</function>\n<function>%s</function>\n</functions>\n"
                + "<nodes />\n</qelta>\n";
        net.readString(String.format(good, "g(y) = f(y) - 1"));
        assertArrayEquals(new String[] {"f(x)=2*x", "g(y)=f(y)-1"}, net.getExtFunctions());
        assertTrue(net.writeString().contains("<function>g(y)=f(y)-1</function>"));

        Network other = new Network();
        try {
            QELTAException e = fails(() -> other.readString(String.format(good, "Sin(y) = y")));
            assertTrue(e.getMessage().contains(
                    "Invalid function defintion: 'Sin(y) = y': Cannot redefine function Sin at position "),
                    e.getMessage());
        } finally {
            other.close();
        }
    }
}
