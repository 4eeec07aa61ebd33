import qelta.Network;
import qelta.Wrapper;

/**
 * A short tour of the library from Java: reads the chest-clinic network, tells it what a doctor
 * has observed, updates beliefs and prints the posterior probability of every outcome.
 *
 * <p>Usage: {@code java Example [path of asia.xvrn]}; the default path is
 * {@code examples/data/asia.xvrn}, relative to the current directory.
 */
public class Example {
    public static void main(String[] args) {
        String file = args.length > 0 ? args[0] : "examples/data/asia.xvrn";
        System.out.println("qelta native library version " + Wrapper.getVersion());

        try (Network net = new Network()) {
            net.readFile(file);
            System.out.println("Network " + net.getId() + " read from " + file);

            // The patient has been to Asia and is short of breath.
            net.setEvidence("VisitAsia", "visit");
            net.setEvidence("Dyspnea", "present");
            net.updateBeliefs();

            System.out.println("Evidence: VisitAsia = visit, Dyspnea = present");
            System.out.println();
            System.out.printf("%-26s %-10s %11s%n", "Node", "Outcome", "Posterior");
            for (int node : net.getAllNodes()) {
                String name = net.getNodeName(node);
                String[] outcomes = net.getOutcomeIds(node);
                double[] beliefs = net.getNodeValue(node);
                int observed = net.isEvidence(node) ? net.getEvidence(node) : -1;
                for (int i = 0; i < outcomes.length; i++) {
                    String mark = i == observed ? "  (observed)" : "";
                    System.out.printf("%-26s %-10s %11.6f%s%n", i == 0 ? name : "", outcomes[i],
                            beliefs[i], mark);
                }
            }
        }
    }
}
