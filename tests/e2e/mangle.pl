#!/usr/bin/perl
# Makes broken payloads for the tests: mangle.pl IN OUT flip|truncate|empty|check
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
} elsif ($how eq 'check') {
    # The last byte of the block's check, which sits before the index; the footer's backward
    # size gives the index's length. The data stays intact: only the check can tell.
    my $index = (unpack('V', substr($data, -8, 4)) + 1) * 4;
    my $at = length($data) - 12 - $index - 1;
    substr($data, $at, 1) = chr(ord(substr($data, $at, 1)) ^ 0x01);
} elsif ($how eq 'empty') {
    $data = '';
} else {
    die "unknown mangling $how\n";
}
open(my $oh, '>:raw', $out) or die "$out: $!\n";
print $oh $data;
close($oh) or die "$out: $!\n";
