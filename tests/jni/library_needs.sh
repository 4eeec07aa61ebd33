#!/usr/bin/env bash
# The library a Java program loads needs nothing beyond glibc, libm,
# libstdc++ and libgcc_s; the newest glibc, GLIBCXX and CXXABI symbol
# versions it calls are the ones java/pom.xml and README state; and expat,
# linked in, stays hidden.
# Arguments: the library, java/pom.xml, README.md.
set -euo pipefail
lib=$1 pom=$2 readme=$3
status=0
needed=$(readelf -d "$lib" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
extra=$(grep -vxE 'libc\.so\.6|libm\.so\.6|libstdc\+\+\.so\.6|libgcc_s\.so\.1|ld-linux-x86-64\.so\.2' \
  <<<"$needed" || true)
if [ -n "$extra" ]; then
  echo "$lib needs more than the C and C++ runtimes:" $extra
  status=1
fi
glibc=$(objdump -T "$lib" | grep -o 'GLIBC_[0-9.]*' | sed 's/^GLIBC_//' | sort -uV | tail -n 1)
stated=$(sed -n 's:.*<qelta.glibc>\(.*\)</qelta.glibc>.*:\1:p' "$pom")
if [ "$glibc" != "$stated" ]; then
  echo "$lib needs glibc $glibc; $pom states $stated"
  status=1
fi
if ! grep -q "glibc $glibc or newer" "$readme"; then
  echo "$readme does not say \"glibc $glibc or newer\""
  status=1
fi
for symbols in GLIBCXX:glibcxx CXXABI:cxxabi; do
  prefix=${symbols%%:*} property=${symbols#*:}
  newest=$(objdump -T "$lib" | grep -o "${prefix}_[0-9.]*" | sed "s/^${prefix}_//" | sort -uV | tail -n 1)
  stated=$(sed -n "s:.*<qelta.$property>\(.*\)</qelta.$property>.*:\1:p" "$pom")
  if [ "$newest" != "$stated" ]; then
    echo "$lib needs ${prefix}_$newest; $pom states $stated"
    status=1
  fi
  if ! grep -q "${prefix}_$newest" "$readme"; then
    echo "$readme does not name ${prefix}_$newest"
    status=1
  fi
done
exported=$(objdump -T "$lib" | grep -v '\*UND\*' | awk '$NF ~ /^(XML_|Xml|arc4random)/ {print $NF}')
if [ -n "$exported" ]; then
  echo "$lib exports expat's symbols:" $exported
  status=1
fi
[ $status = 0 ] && echo "$lib needs glibc $glibc and:" $needed
exit $status
