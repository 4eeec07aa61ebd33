package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;

import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.locks.LockSupport;
import org.junit.jupiter.api.Test;

/** close() on one thread while another is inside native calls on the same network. */
class CloseWhileRunningTest {
    private static final String RELEASED = "Native object has been released by close().";

    @Test
    void closingUnderRunningCallsNeverCrashesAndLaterCallsAreRefused() throws Exception {
        String xml = GeneratedNetworks.layered(400);
        ExecutorService closer = Executors.newSingleThreadExecutor();
        try {
            for (int round = 0; round < 200; round++) {
                Network net = new Network();
                CountDownLatch started = new CountDownLatch(1);
                long delayNanos = (round % 25) * 80_000L; // spreads the close over every call
                Future<?> closing = closer.submit(() -> {
                    started.await();
                    LockSupport.parkNanos(delayNanos);
                    net.close();
                    return null;
                });
                started.countDown();
                QELTAException stopped = assertThrows(QELTAException.class, () -> {
                    while (true) {
                        net.readString(xml);
                        net.setEvidence(0, 1);
                        net.updateBeliefs();
                        net.getNodeValue(399);
                        net.writeString();
                    }
                });
                assertEquals(RELEASED, stopped.getMessage());
                closing.get();
                assertEquals(RELEASED, assertThrows(QELTAException.class, net::updateBeliefs).getMessage());
                assertEquals(RELEASED, assertThrows(QELTAException.class, () -> net.getNodeCount()).getMessage());
                net.close();
            }
        } finally {
            closer.shutdownNow();
        }
    }
}
