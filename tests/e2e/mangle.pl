#!/usr/bin/perl
# Makes broken payloads for the tests: mangle.pl IN OUT flip|truncate|empty
use strict;
use warnings;
my ($in, $out, $how) = @ARGV;
open(my $fh, '<:raw', $in) or die "$in: $!\n";
my $data = do { local $/; <$fh> };
close($fh);
if ($how eq 'flip') {
    my $at = int(length($data) / 2);          # inside the compressed data
    substr($data, $at, 1) = chr(ord(substr($data, $at, 1)) ^ 0x55);
} elsif ($how eq 'truncate') {
    $data = substr($data, 0, int(length($data) * 3 / 4));
} elsif ($how eq 'empty') {
    $data = '';
} else {
    die "unknown mangling $how\n";
}
open(my $oh, '>:raw', $out) or die "$out: $!\n";
print $oh $data;
close($oh) or die "$out: $!\n";
