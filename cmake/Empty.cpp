// Nothing: the shared object around it exists only to be linked.
