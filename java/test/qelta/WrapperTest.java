package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.api.Test;

class WrapperTest {
    @Test
    void libraryReportsItsVersion() {
        assertEquals("2.2.4", Wrapper.getVersion());
    }

    @Test
    void exceptionKeepsMessageAndCode() {
        QELTAException withCode = new QELTAException("QELTA error -2 in function X", -2);
        assertEquals(-2, withCode.getErrorCode());
        assertEquals("QELTA error -2 in function X", withCode.getMessage());
        assertEquals(QELTAException.NO_CODE, new QELTAException("bad").getErrorCode());
    }
}
