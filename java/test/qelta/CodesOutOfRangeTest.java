package qelta;

import static org.junit.jupiter.api.Assertions.assertEquals;
import static org.junit.jupiter.api.Assertions.assertThrows;
import static org.junit.jupiter.api.Assertions.assertTrue;

import java.lang.reflect.Field;
import java.lang.reflect.Modifier;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.TreeSet;
import java.util.function.DoubleConsumer;
import java.util.function.DoubleSupplier;
import java.util.function.IntConsumer;
import java.util.function.IntSupplier;
import java.util.stream.Collectors;
import java.util.stream.Stream;
import org.junit.jupiter.api.Test;
import qelta.learning.BayesianSearch;
import qelta.learning.DataSet;
import qelta.learning.DiscretizationMethod;
import qelta.learning.EM;
import qelta.learning.GreedyThickThinning;
import qelta.learning.PC;
import qelta.learning.Pattern;
import qelta.learning.PatternEdge;

/**
 * Every int code a method takes is checked against its constant class: each constant is taken
 * and read back, and values around and between them are refused by argument name, value and the
 * full list of constants (read from the class by reflection), the setting left as it was.
 */
class CodesOutOfRangeTest extends NetworkFixture {
    /** A code setter, its getter (null when there is none) and the constant class it takes. */
    record Setter(String name, String argument, Class<?> group, IntConsumer set, IntSupplier get) {
        @Override
        public String toString() {
            return name;
        }
    }

    /** The public int constants of a group, in declaration order. */
    static List<Field> constants(Class<?> group) {
        List<Field> fields = new ArrayList<>();
        for (Field f : group.getDeclaredFields()) {
            int m = f.getModifiers();
            if (Modifier.isPublic(m) && Modifier.isStatic(m) && f.getType() == int.class) fields.add(f);
        }
        return fields;
    }

    static int value(Field f) {
        try {
            return f.getInt(null);
        } catch (IllegalAccessException e) {
            throw new AssertionError(e);
        }
    }

    static boolean hex(Class<?> group) {
        return group == SingleFaultAlgorithm.class || group == MultiFaultAlgorithm.class;
    }

    static String text(Class<?> group, int code) {
        return hex(group) && code >= 0 ? "0x" + Integer.toHexString(code).toUpperCase()
                : Integer.toString(code);
    }

    Stream<Setter> setters() {
        Network n = net;
        int cpt = n.addNode(CPT, "C");
        int t = n.addNode(CPT, "T");
        int a = n.addNode(NodeType.DEMORGAN, "A");
        int g = n.addNode(NodeType.DEMORGAN, "G");
        n.addArc(a, g);
        int plateA = n.addNode(NodeType.DEMORGAN, "PA");
        int plateG = n.addNode(NodeType.DEMORGAN, "PG");
        n.setNodeTemporalType(plateA, TemporalType.PLATE);
        n.setNodeTemporalType(plateG, TemporalType.PLATE);
        n.addTemporalArc(plateA, plateG, 1);
        int[] made = {cpt};
        return Stream.of(
                new Setter("setBayesianAlgorithm", "algorithm", BayesianAlgorithm.class,
                        n::setBayesianAlgorithm, n::getBayesianAlgorithm),
                new Setter("setInfluenceDiagramAlgorithm", "algorithm",
                        InfluenceDiagramAlgorithm.class, n::setInfluenceDiagramAlgorithm,
                        n::getInfluenceDiagramAlgorithm),
                new Setter("setNodeDiagType", "type", DiagRole.class,
                        v -> n.setNodeDiagType("C", v), () -> n.getNodeDiagType(cpt)),
                new Setter("setNodeTemporalType", "type", TemporalType.class,
                        v -> n.setNodeTemporalType(t, v), () -> n.getNodeTemporalType("T")),
                new Setter("setNodeType", "type", NodeType.class,
                        v -> n.setNodeType(cpt, v), () -> n.getNodeType(cpt)),
                new Setter("addNode", "type", NodeType.class,
                        v -> made[0] = n.addNode(v), () -> n.getNodeType(made[0])),
                new Setter("setDeMorganParentType", "type", DeMorganParentType.class,
                        v -> n.setDeMorganParentType(g, 0, v), () -> n.getDeMorganParentType(g, 0)),
                new Setter("setDeMorganTemporalParentType", "type", DeMorganParentType.class,
                        v -> n.setDeMorganTemporalParentType(plateG, 1, 0, v),
                        () -> n.getDeMorganTemporalParentType(plateG, 1, 0)));
    }

    /** Everything checked for one setter; the refusals come first, on the default setting. */
    void check(Setter s) {
        List<Field> fields = constants(s.group);
        TreeSet<Integer> codes = new TreeSet<>();
        fields.forEach(f -> codes.add(value(f)));
        String allowed = fields.stream()
                .map(f -> s.group.getSimpleName() + "." + f.getName() + " ("
                        + text(s.group, value(f)) + ")")
                .collect(Collectors.joining(", "));
        TreeSet<Integer> bad = new TreeSet<>(List.of(Integer.MIN_VALUE, Integer.MAX_VALUE,
                codes.first() - 1, codes.last() + 1, codes.last() << 1 | 1));
        for (int c : codes) {
            if (!codes.contains(c + 1)) bad.add(c + 1);  // each gap between codes
        }
        bad.removeAll(codes);
        Integer before = s.get == null ? null : s.get.getAsInt();
        for (int v : bad) {
            QELTAException e = assertThrows(QELTAException.class, () -> s.set.accept(v), s + " " + v);
            assertEquals("Invalid value " + text(s.group, v) + " of argument " + s.argument
                    + "; valid values are " + allowed, e.getMessage());
            assertEquals(QELTAException.NO_CODE, e.getErrorCode());
            if (before != null) assertEquals(before.intValue(), s.get.getAsInt(), s + " kept");
        }
        for (int v : codes) {
            s.set.accept(v);
            if (s.get != null) assertEquals(v, s.get.getAsInt(), s + " takes " + v);
        }
    }

    @Test
    void networkCodes() {
        setters().forEach(this::check);
    }

    @Test
    void diagnosisCodes() {
        net.readFile(Path.of(System.getProperty("qelta.testdata", "tests/data"))
                .resolve("diagnosis_troubleshoot.xvrn").toString());
        try (DiagNetwork diag = new DiagNetwork(net)) {
            check(new Setter("setSingleFaultAlgorithm", "algorithm", SingleFaultAlgorithm.class,
                    diag::setSingleFaultAlgorithm, diag::getSingleFaultAlgorithm));
            check(new Setter("setMultiFaultAlgorithm", "algorithm", MultiFaultAlgorithm.class,
                    diag::setMultiFaultAlgorithm, diag::getMultiFaultAlgorithm));
        }
    }

    /** Six values 0, 0.5, ... 2.5 of one continuous variable. */
    static DataSet floats() {
        DataSet data = new DataSet();
        data.addFloatVariable("x", Float.NaN);
        for (int r = 0; r < 6; r++) {
            data.addEmptyRecord();
            data.setFloat(0, r, r * 0.5f);
        }
        return data;
    }

    @Test
    void learningCodes() {
        check(new Setter("discretize", "method", DiscretizationMethod.class, v -> {
            try (DataSet data = floats()) {
                data.discretize(0, v, 2, "s");
            }
        }, null));
        try (DataSet data = floats()) {
            assertThrows(QELTAException.class, () -> data.discretize(0, 3, 2, "s"));
            assertTrue(!data.isDiscrete(0));
        }
        try (Pattern p = new Pattern()) {
            p.setSize(2);
            check(new Setter("setEdge", "type", PatternEdge.class, v -> p.setEdge(0, 1, v),
                    () -> p.getEdge(0, 1)));
        }
    }

    /**
     * A number setting refuses each bad value, naming it (as the engine prints it) and the range,
     * keeps its value, and takes the good ones.
     */
    static void setting(String argument, String range, DoubleConsumer set, DoubleSupplier get,
            double[] bad, double[] good) {
        double before = get.getAsDouble();
        for (double v : bad) {
            String text = Double.isNaN(v) ? "nan" : v == (long) v ? Long.toString((long) v) : Double.toString(v);
            refused("Invalid value " + text + " of argument " + argument + "; valid values are " + range,
                    () -> set.accept(v));
            assertEquals(before, get.getAsDouble(), argument + " kept");
        }
        for (double v : good) {
            set.accept(v);
            assertEquals(v, get.getAsDouble());
        }
    }

    @Test
    void learnerSettingsOutOfRange() {
        double min = Integer.MIN_VALUE;
        double[] outside = {-0.1, 1.5, Double.NaN};
        try (BayesianSearch bs = new BayesianSearch(); GreedyThickThinning gtt = new GreedyThickThinning();
                PC pc = new PC(); EM em = new EM()) {
            setting("size", "1 and above", v -> bs.setPriorSampleSize((int) v), bs::getPriorSampleSize,
                    new double[] {0, -1, min}, new double[] {1, 50});
            setting("count", "1 and above", v -> bs.setIterationCount((int) v), bs::getIterationCount,
                    new double[] {0, min}, new double[] {1, 20});
            setting("maxParents", "0 and above", v -> bs.setMaxParents((int) v), bs::getMaxParents,
                    new double[] {-1}, new double[] {0, 5});
            setting("maxParents", "0 and above", v -> gtt.setMaxParents((int) v), gtt::getMaxParents,
                    new double[] {-1}, new double[] {0, 5});
            setting("maxAdjacency", "0 and above", v -> pc.setMaxAdjacency((int) v), pc::getMaxAdjacency,
                    new double[] {-1}, new double[] {0, 8});
            em.setRandomizeParameters(false);
            setting("size", "0 and above", v -> em.setEqSampleSize((int) v), em::getEqSampleSize,
                    new double[] {-3, min}, new double[] {5, 0});
            setting("probability", "above 0 and below 1", bs::setPriorLinkProbability,
                    bs::getPriorLinkProbability, new double[] {0, 1, -0.1, Double.NaN},
                    new double[] {1e-9, 0.001});
            setting("probability", "from 0 to 1", bs::setLinkProbability, bs::getLinkProbability,
                    outside, new double[] {0, 1, 0.1});
            setting("significance", "from 0 to 1", pc::setSignificance, pc::getSignificance, outside,
                    new double[] {0, 1, 0.05});
        }
    }
}
