package qelta.spark;

import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Arrays;
import java.util.List;
import org.apache.spark.sql.Dataset;
import org.apache.spark.sql.Row;
import org.apache.spark.sql.RowFactory;
import org.apache.spark.sql.SparkSession;
import org.apache.spark.sql.types.DataTypes;
import org.apache.spark.sql.types.StructField;
import qelta.Network;
import qelta.learning.EM;

/**
 * Learns a network's tables from a CSV file of records (a header of node names, outcome names in
 * the cells, an empty cell for a missing value) with distributed EM, then answers a few cases by
 * batch inference. Arguments: the network file, the CSV file and optionally the Spark master
 * (spark-submit's when not given).
 */
public final class Example {
    private Example() {}

    public static void main(String[] args) throws Exception {
        if (args.length < 2) {
            System.err.println("usage: Example NETWORK RECORDS.csv [MASTER]");
            System.exit(2);
        }
        Network source = new Network();
        source.readFile(args[0]);
        String text = source.writeString();
        // A Spark already running in this JVM is used and left running.
        boolean ours = SparkSession.getDefaultSession().isEmpty();
        SparkSession.Builder builder = SparkSession.builder().appName("qelta-example");
        if (args.length > 2) builder.master(args[2]);
        SparkSession spark = builder.getOrCreate();
        try {
            Dataset<Row> records = spark.read().option("header", "true").csv(args[1]);

            EM em = new EM();
            em.setUniformizeParameters(true);
            DistributedEM.Result learned = new DistributedEM(em).setFixedNodes("TbOrCa").learn(text, records);
            System.out.printf("EM: %d passes, log-likelihood %.4f%n", learned.passes(), learned.score());
            double[] smoking = learned.network().getNodeDefinition("Smoking");
            System.out.printf("Smoking = smoker: %.4f%n", smoking[0]);

            List<StructField> fields = Arrays.asList(
                    DataTypes.createStructField("patient", DataTypes.StringType, false),
                    DataTypes.createStructField("XRay", DataTypes.StringType, true),
                    DataTypes.createStructField("Dyspnea", DataTypes.StringType, true));
            Dataset<Row> cases = spark.createDataFrame(List.of(
                    RowFactory.create("p1", "abnormal", "present"),
                    RowFactory.create("p2", "normal", null),
                    RowFactory.create("p3", "sideways", null)), DataTypes.createStructType(fields));
            Files.writeString(Path.of(System.getProperty("java.io.tmpdir"), "qelta-learned.xvrn"),
                    learned.networkText());
            Dataset<Row> answers = new BatchInference(learned.networkText(), "LungCancer")
                    .keep("patient").apply(cases).orderBy("patient");
            for (Row row : answers.collectAsList()) {
                String problem = row.getAs(BatchInference.PROBLEM);
                System.out.println(problem != null ? row.getAs("patient") + ": " + problem
                        : String.format("%s: LungCancer = present: %.4f, P(e) = %.4f", row.getAs("patient"),
                                row.<Double>getAs("LungCancer=present"), row.<Double>getAs(BatchInference.PROBABILITY)));
            }
        } finally {
            if (ours) spark.stop();
        }
    }
}
