int qelta_placeholder_symbol = 0;
