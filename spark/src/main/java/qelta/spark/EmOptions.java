package qelta.spark;

import java.io.Serializable;
import qelta.learning.EM;

/** The options of one EM run, as the driver ships them to the workers. */
final class EmOptions implements Serializable {
    private static final long serialVersionUID = 1L;

    final int eqSampleSize;
    final boolean randomize;
    final boolean uniformize;
    final int seed;
    final boolean relevance;

    EmOptions(EM em) {
        eqSampleSize = em.getEqSampleSize();
        randomize = em.getRandomizeParameters();
        uniformize = em.getUniformizeParameters();
        seed = em.getSeed();
        relevance = em.getRelevance();
    }
}
