package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertNotNull;
import static org.junit.jupiter.api.Assertions.assertNull;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.ref.Reference;
import java.lang.ref.WeakReference;
import java.lang.reflect.Method;
import java.util.List;
import java.util.concurrent.ConcurrentLinkedQueue;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.ExecutorService;
import java.util.concurrent.Executors;
import java.util.concurrent.Future;
import java.util.concurrent.locks.LockSupport;
import java.util.function.BooleanSupplier;
import java.util.function.LongConsumer;
import org.junit.jupiter.api.Test;
import qelta.learning.DataMatch;
import qelta.learning.Validator;

/**
 * Ownership of native objects, exercised with a stand-in deleter, and close() on one thread while
 * another is inside native calls on the same network.
 */
class LifecycleTest {
    private static final String RELEASED = "Native object has been released by close().";

    /** A wrapper whose "native object" is only a number handed to a Java deleter. */
    private static final class Owner extends Wrapper {
        Owner(long handle, LongConsumer deleter, Object keepAlive) {
            adopt(handle, deleter, keepAlive);
        }

        long handle() {
            return ptrNative;
        }
    }

    /** Runs the collector until the condition holds or many rounds have passed. */
    private static boolean collectUntil(BooleanSupplier condition) throws InterruptedException {
        for (int round = 0; round < 200 && !condition.getAsBoolean(); round++) {
            System.gc();
            Thread.sleep(10);
        }
        return condition.getAsBoolean();
    }

    @Test
    void closeDeletesOnceAndClearsTheHandle() {
        ConcurrentLinkedQueue<Long> deleted = new ConcurrentLinkedQueue<>();
        Owner owner = new Owner(42, deleted::add, null);
        assertEquals(42, owner.handle());

        owner.close();
        owner.close();

        assertEquals(List.of(42L), List.copyOf(deleted));
        assertEquals(0, owner.handle());
    }

    @Test
    void tryWithResourcesDeletes() {
        ConcurrentLinkedQueue<Long> deleted = new ConcurrentLinkedQueue<>();
        try (Owner owner = new Owner(7, deleted::add, null)) {
            assertEquals(7, owner.handle());
            assertTrue(deleted.isEmpty());
        }
        assertEquals(List.of(7L), List.copyOf(deleted));
    }

    @Test
    void nothingToDeleteWhenNoNativeObjectWasMade() {
        ConcurrentLinkedQueue<Long> deleted = new ConcurrentLinkedQueue<>();
        new Owner(0, deleted::add, null).close();
        assertTrue(deleted.isEmpty());
    }

    @Test
    void nativeDeletionOfNothingDoesNothing() throws ReflectiveOperationException {
        Method delete = Network.class.getDeclaredMethod("deleteNative", long.class);
        delete.setAccessible(true);
        delete.invoke(null, 0L);
        delete.invoke(null, 0L);
    }

    @Test
    void unreachableObjectIsDeletedByTheCleaner() throws InterruptedException {
        ConcurrentLinkedQueue<Long> deleted = new ConcurrentLinkedQueue<>();
        new Owner(99, deleted::add, null);

        // Only possible when the cleaning action does not hold the owner.
        assertTrue(collectUntil(() -> !deleted.isEmpty()), "cleaner never ran");
        assertEquals(List.of(99L), List.copyOf(deleted));
    }

    @Test
    void keptObjectOutlivesItsDependent() throws InterruptedException {
        ConcurrentLinkedQueue<Long> deleted = new ConcurrentLinkedQueue<>();
        Object network = new Object();
        WeakReference<Object> watch = new WeakReference<>(network);
        Owner dependent = new Owner(5, deleted::add, network);
        network = null;

        System.gc();
        assertNotNull(watch.get(), "kept object collected while its dependent lives");
        Reference.reachabilityFence(dependent);

        dependent.close();
        assertTrue(collectUntil(() -> watch.get() == null), "kept object never released");
        assertNull(watch.get());
    }

    @Test
    void dependentObjectsRefuseAMissingNetworkBeforeTouchingNativeCode() {
        assertThrows(NullPointerException.class, () -> new DiagNetwork(null));
        assertThrows(NullPointerException.class, () -> new ValueOfInfo(null));
        assertThrows(NullPointerException.class,
                () -> new Validator(null, null, new DataMatch[] {new DataMatch(0, 0, 0)}));
    }

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
