package qelta;

import static org.junit.jupiter.api.Assertions.assertArrayEquals;
import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertTrue;

import org.junit.jupiter.api.Test;

/** User-defined functions from Java and in XML documents. */
class ExtFunctionsTest extends NetworkFixture {
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
