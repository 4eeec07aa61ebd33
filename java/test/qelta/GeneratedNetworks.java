package qelta;

/** Networks made up as text, so tests need no data files. */
final class GeneratedNetworks {
    private GeneratedNetworks() {}

    /**
     * A network of {@code count} binary chance nodes n0, n1, ...; node i has the
     * parents n(i-1) and n(i-2) where they exist, and tables that differ by node.
     */
    static String layered(int count) {
        StringBuilder xml = new StringBuilder("<?xml version=\"1.0\"?>\n<qelta version=\"1.0\" id=\"Generated\">\n<nodes>\n");
        for (int i = 0; i < count; i++) {
            xml.append("<cpt id=\"n").append(i).append("\"><state id=\"yes\"/><state id=\"no\"/>");
            int parents = Math.min(i, 2);
            if (parents > 0) {
                xml.append("<parents>");
                for (int p = parents; p >= 1; p--) {
                    xml.append('n').append(i - p).append(p > 1 ? " " : "");
                }
                xml.append("</parents>");
            }
            xml.append("<probabilities>");
            for (int column = 0; column < (1 << parents); column++) {
                double yes = 0.1 + 0.8 * ((i * 7 + column * 3) % 11) / 10.0;
                xml.append(yes).append(' ').append(1 - yes).append(' ');
            }
            xml.append("</probabilities></cpt>\n");
        }
        return xml.append("</nodes>\n</qelta>\n").toString();
    }
}
