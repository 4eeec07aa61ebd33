package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;

import org.junit.jupiter.api.Test;

class WrapperTest {
    @Test
    void libraryReportsItsVersion() {
        assertEquals("2.2.4", Wrapper.getVersion());
    }
}
