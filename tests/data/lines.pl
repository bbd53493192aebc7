#!/usr/bin/perl
# The text of the cabinet tests' package: 10000 numbered lines, some 200 KB.
#   lines.pl OUT
use strict;
use warnings;

open(my $f, '>', $ARGV[0]) or die "$ARGV[0]: $!\n";
print $f "line $_ of the sample\n" for 1 .. 10000;
close($f) or die "$ARGV[0]: $!\n";
