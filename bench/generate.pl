#!/usr/bin/env perl
# SPDX-License-Identifier: MIT
# Writes a joint attribute file of about SIZE bytes (whole joints, at least one) to
# standard output. The same arguments always give the same bytes.
#
# Usage: bench/generate.pl [--crlf] SIZE
#   plain:   "\n" line ends, "//" comment lines and "#" trailing comments
#   --crlf:  "\r\n" line ends and block comments, one of them over two lines
#
# Each joint has seven lines: a comment, a name, a node, shear_force with a trailing
# unit, axial_force, bending_moment with a comment after the value, an empty line.
use strict;
use warnings;

my $crlf = 0;
if (@ARGV && $ARGV[0] eq '--crlf') {
    $crlf = 1;
    shift @ARGV;
}
die "usage: $0 [--crlf] SIZE\n" unless @ARGV == 1 && $ARGV[0] =~ /^\d+$/;
my $size = $ARGV[0];

# A 31-bit linear congruential generator: the output does not depend on perl's rand.
my $state = 20240917;
sub next_random {
    $state = ($state * 1103515245 + 12345) % 2147483648;
    return $state;
}

# A decimal value with 0 to 4 decimals and a random sign.
sub value {
    my $decimals = next_random() % 5;
    my $integer = next_random() % 20000;
    my $text = $integer;
    if ($decimals > 0) {
        $text .= sprintf('.%0*d', $decimals, next_random() % (10**$decimals));
    }
    return (next_random() % 4 == 0 ? '-' : '') . $text;
}

my $eol = $crlf ? "\r\n" : "\n";
my @comments = $crlf ? ('/* about y */', '/* peak,' . $eol . '   envelope */')
                     : ('# about y', '# peak');
binmode STDOUT;
my $written = 0;
for (my $joint = 1; $written == 0 || $written < $size; ++$joint) {
    my $head = $crlf ? "/* joint $joint of the frame model */" : "// joint $joint of the frame model";
    my $comment = $comments[$joint % 7 == 0 ? 1 : 0];
    my $text = join($eol,
                    $head,
                    "name J$joint",
                    'node ' . (next_random() % 90000 + 1),
                    'shear_force ' . value() . ' kN',
                    'axial_force ' . value(),
                    'bending_moment ' . value() . ' ' . $comment,
                    '') . $eol;
    print $text;
    $written += length $text;
}
